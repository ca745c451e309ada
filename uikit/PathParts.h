// Splits a full path into drive, directory, file name and extension.
#pragma once

#include "framework/core/String.h"

// "C:\Program Files\Corvane\Corvane.exe" gives "C:", "\Program Files\Corvane\",
// "Corvane" and ".exe". The parts are whole whatever their length.
class PathParts {
 public:
  explicit PathParts(LPCWSTR lpszPath);

  const CString& GetDrive() const { return m_drive; }
  const CString& GetDirectory() const { return m_directory; }  // ends in its separator
  const CString& GetFileName() const { return m_fileName; }
  const CString& GetExtension() const { return m_extension; }  // with its dot

 private:
  CString m_drive;
  CString m_directory;
  CString m_fileName;
  CString m_extension;
};
