#include "app/install.h"

#include "app/errors.h"
#include "fileutil/dirtreat.h"
#include "platform/fs.h"
#include "platform/interrupt.h"
#include "platform/process.h"
#include "rtl/console.h"
#include "rtl/format.h"
#include "rtl/strtable.h"

namespace app {

std::string ZelExePath(const std::string& dest) {
  return fileutil::AddBackslash(dest) + std::string(kZelExeName);
}

platform::WindowHandle FindRunningZel() {
  return platform::CurrentDesktop().FindWindowEx({}, {}, std::string(kZelWindowClass),
                                                 std::nullopt);
}

void CheckInterrupted() {
  if (platform::Interrupted()) {
    throw EInterrupted(rtl::LoadStr(rtl::SInterrupted));
  }
}

namespace {

// Says on standard error, once, what the tool is waiting for: standard
// output keeps the messages of failures alone.
void Notice(bool* told, std::string_view text) {
  if (told != nullptr && !*told) {
    *told = true;
    rtl::WriteErrLn(text);
  }
}

}  // namespace

bool CloseRunningZel(const platform::WindowHandle& window, TWaitNotices* notices) {
  platform::Desktop& desktop = platform::CurrentDesktop();
  desktop.PostMessage(window, platform::kWmQueryEndSession, 0, 0);
  desktop.PostMessage(window, platform::kWmClose, 0, 0);
  Notice(notices != nullptr ? &notices->Close : nullptr, rtl::LoadStr(rtl::SWaitingForClose));

  const std::string confirmTitle = rtl::LoadStr(rtl::SConfirmTitle);
  platform::WindowHandle dialog;
  for (int poll = 1; dialog.IsNull(); ++poll) {
    platform::Sleep(kPollIntervalMs);
    CheckInterrupted();
    dialog = desktop.FindWindowEx({}, {}, std::nullopt, confirmTitle);
    // A file manager that closes without asking is given the whole poll; a
    // dialog that turns up only in the last poll is answered by the next pass.
    if (poll >= kConfirmPolls) {
      return true;
    }
  }
  const platform::WindowHandle yes =
      desktop.FindWindowEx(dialog, {}, std::nullopt, rtl::LoadStr(rtl::SYesButtonTitle));
  if (yes.IsNull()) {
    return false;
  }
  desktop.SendMessage(yes, platform::kBmClick, 0, 0);
  desktop.SendMessage(yes, platform::kBmClick, 0, 0);
  return true;
}

bool PrepareDestination(const std::string& dest, TWaitNotices* notices) {
  const platform::WindowHandle window = FindRunningZel();
  if (!window.IsNull() && !CloseRunningZel(window, notices)) {
    throw ECloseFailure(rtl::LoadStr(rtl::SCloseFailure));
  }
  return WaitZelWritable(dest, notices);
}

void CheckZelWritable(const std::string& dest) {
  const std::string exe = ZelExePath(dest);
  if (!platform::FileExists(exe)) {
    return;
  }
  // In use is the running file manager's doing and is waited for later;
  // anything else will not pass by waiting.
  const platform::SysError error = platform::TestOpenForWriting(exe);
  if (error.Failed() && error.Code != platform::kErrorSharingViolation) {
    throw EFileCheckError(rtl::Format(rtl::LoadStr(rtl::SFileCheckFailed),
                                      {exe, static_cast<std::int64_t>(error.Code)}));
  }
}

bool WaitZelWritable(const std::string& dest, TWaitNotices* notices) {
  const std::string exe = ZelExePath(dest);
  if (!platform::FileExists(exe)) {
    return true;
  }
  int failures = 0;
  while (true) {
    const platform::SysError error = platform::TestOpenForWriting(exe);
    if (!error.Failed()) {
      return true;
    }
    if (error.Code != platform::kErrorSharingViolation) {
      throw EFileCheckError(rtl::Format(rtl::LoadStr(rtl::SFileCheckFailed),
                                        {exe, static_cast<std::int64_t>(error.Code)}));
    }
    Notice(notices != nullptr ? &notices->Writable : nullptr,
           rtl::Format(rtl::LoadStr(rtl::SWaitingForWritable), {exe}));
    platform::Sleep(kPollIntervalMs);
    CheckInterrupted();
    if (++failures > kMaxBusyFailures) {
      return false;
    }
  }
}

void StartZel(const std::string& dest) {
  if (!platform::DirectoryExists(dest)) {
    throw EStartError(rtl::Format(rtl::LoadStr(rtl::SDestDirMissing), {dest}));
  }
  RunProgram("\"" + ZelExePath(dest) + "\"");
}

void RunProgram(const std::string& commandLine) {
  const platform::SysError error =
      platform::CreateProcess(commandLine, platform::kCreateDefaultErrorMode);
  if (error.Failed()) {
    throw EExecZelError(
        rtl::Format(rtl::LoadStr(rtl::SExecZelFailed),
                    {fileutil::MessageText(error), static_cast<std::int64_t>(error.Code)}));
  }
}

}  // namespace app
