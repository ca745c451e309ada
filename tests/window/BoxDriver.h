// Driving a modal window from a second thread while the test's thread runs its loop.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <windows.h>

// A visible top-level window of this process with the caption (and, when cls is given,
// that window class); other test programs may show the same caption at the same time.
HWND FindOwnWindow(const wchar_t* caption, const wchar_t* cls = L"#32770");

// FindOwnWindow, waited for up to waitMs; nullptr when it did not come.
HWND WaitForOwnWindow(const wchar_t* caption, int waitMs = 10000, const wchar_t* cls = L"#32770");

// The texts of a window's children, each followed by "|".
std::wstring DialogText(HWND box);

// Use:
//   BoxDriver driver(L"Caption", [](HWND box) { ::PostMessageW(box, WM_COMMAND, IDOK, 0); });
//   dlg.OnCommandThatShowsTheBox();   // the box's modal loop runs here
//   EXPECT_TRUE(driver.Found());      // joins the driver's thread
// act runs on the driver's thread once the box is there (nothing runs when it does not
// come within waitMs). Pass cls = nullptr to match any window class.
class BoxDriver {
 public:
  BoxDriver(const wchar_t* caption, std::function<void(HWND)> act, int waitMs = 10000,
            const wchar_t* cls = L"#32770");
  ~BoxDriver() { Join(); }
  BoxDriver(const BoxDriver&) = delete;
  BoxDriver& operator=(const BoxDriver&) = delete;

  // Whether the box came; waits for act to have finished.
  bool Found() {
    Join();
    return m_box != nullptr;
  }

 private:
  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }
  std::atomic<HWND> m_box{nullptr};
  std::thread m_thread;
};

// Use:
//   BoxAnswer box(AfxGetApp()->m_pszAppName);   // answers with IDOK
//   dlg.OnRip();
//   EXPECT_NE(box.Text().find(L"No Audio Tracks Checked!"), std::wstring::npos);
// Keeps the box's DialogText and answers it with the button; Text() is empty when no
// box came.
class BoxAnswer {
 public:
  explicit BoxAnswer(const wchar_t* caption, int button = IDOK, int waitMs = 10000)
      : m_driver(
            caption,
            [this, button](HWND box) {
              m_text = DialogText(box);
              ::PostMessageW(box, WM_COMMAND, button, 0);
            },
            waitMs) {}
  bool Found() { return m_driver.Found(); }
  std::wstring Text() {
    m_driver.Found();
    return m_text;
  }

 private:
  std::wstring m_text;  // written by the driver's thread before it ends
  BoxDriver m_driver;
};
