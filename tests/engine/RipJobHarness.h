// Runs real rip jobs on generated discs behind a Wine CD-ROM letter: the job window runs
// modally while a script of steps, polled on a thread timer inside the modal loop, watches
// and clicks it like a user.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/RippingProgress.h"
#include "framework/win/Win.h"

// Message boxes are answered by the test, and their prompts are kept.
class CRipTestApp : public CWinApp {
 public:
  CRipTestApp() : CWinApp(L"CorvaneRipTests") {}
  int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt) override;

  std::vector<CString> m_boxes;
  int m_answer = IDYES;
  // Runs while a box is "up", before it is answered (the window's thread is held meanwhile).
  std::function<void()> m_whileAsking;
};
extern CRipTestApp g_ripTestApp;

// One step: returns true once done; the next step starts at the following tick.
using RipStep = std::function<bool(CRippingProgress& job)>;

struct RipRun {
  INT_PTR result = -1;
  std::vector<std::pair<int, std::wstring>> log;  // every line the window logged
  std::vector<std::wstring> captions;             // every caption the window was given
  bool timedOut = false;
  int threadsBefore = 0;
  int threadsAfter = 0;
  // Figures of the window at its end (read in WM_DESTROY order: before it goes).
  std::wstring pauseText, cancelText, trackPercent, jobPercent, statusText;
  std::wstring trackElapsed, jobElapsed, trackSpeed, jobSpeed;

  bool Logged(const std::wstring& text) const;
  int CountLogged(const std::wstring& prefix) const;
};

// The job records for table-of-contents rows, as the rip commands build them.
std::vector<TrackData> JobForRows(const std::vector<int>& rows);

// Runs a job over the rows with the script; without steps it waits for the end of the
// run (finished or stopped) and closes the window.
RipRun RunRipJob(const std::vector<TrackData>& job, std::vector<RipStep> steps = {},
                 std::function<void(CRippingProgress&)> configure = {});

// Changes what the drive delivers: called after each real read with the block and the
// library's result. Reset by RunRipJob.
void TamperReads(std::function<void(CDAudioBlock*, int32_t&)> tamper);

// Reads that reach sector or beyond wait (while the job runs) until released, so a test
// can hold a job in the middle of a track however fast the machine is. Reset by RunRipJob.
void HoldReadsFrom(int32_t sector);
RipStep ReleaseReads();

// Common steps.
RipStep WaitUntilStopped();  // running flag clear and every worker ended
RipStep Click(UINT id);
// The same, but a job that has already ended fails the test (a click on "Open Dir" would
// start a folder window).
RipStep ClickWhileRunning(UINT id);
RipStep Pause(DWORD ms);
RipStep Screenshot(const wchar_t* name);  // only when CORVANE_SHOT_DIR is set (see .cpp)

// The Windows path of a Unix path (through Z:).
std::wstring WinPath(const std::string& unixPath);
std::vector<unsigned char> ReadFileBytes(const std::wstring& path);
int CountProcessThreads();
std::wstring WindowText(HWND hwnd);
