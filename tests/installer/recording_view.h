// A MainView for host tests: keeps the state of every control, answers dialogs from scripted
// answers and writes every visible event (pages, dialogs, message boxes, close, quit) to a
// timeline that tests compare with what the user should have seen.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "installer/main_view.h"
#include "system/gui_thread.h"

namespace installer::testing {

inline const wchar_t* PageName(Page page) {
  switch (page) {
    case Page::tbInstall: return L"tbInstall";
    case Page::tbProcess: return L"tbProcess";
    case Page::tbFinish: return L"tbFinish";
    case Page::tbUninstall: return L"tbUninstall";
    case Page::tbUninProcess: return L"tbUninProcess";
    case Page::tbUninFinish: return L"tbUninFinish";
  }
  return L"?";
}

class RecordingView : public MainView {
 public:
  // Called before every event is recorded, so a test can first add what happened meanwhile
  // elsewhere (the requests sent to the server) to the same timeline.
  std::function<void(std::vector<std::wstring>&)> beforeEvent;
  // Asked before every close, as the real window asks FormCloseQuery; false refuses the close.
  std::function<bool()> onCloseQuery;
  // Runs FormClose, as closing the real window does.
  std::function<void()> onClose;
  // Runs whenever the behaviour lets the window process its messages: what the user or another
  // program does to the window meanwhile.
  std::function<void()> whileProcessingMessages;

  // Scripted answers; an exhausted queue answers No.
  std::deque<bool> confirmAnswers;
  std::deque<bool> yesNoAnswers;
  int checkIfInstalledResult = 2;
  std::optional<std::wstring> browseAnswer;
  std::intptr_t shellResult = 42;  // what every shell open returns

  // State.
  std::vector<std::wstring> timeline;
  std::wstring title;
  bool folderRowOpen = false;
  bool hiddenAtStart = false;
  bool tabsHidden = false;
  bool timerEnabled = false;
  bool closed = false;
  bool quitPosted = false;
  std::optional<Page> page;
  std::vector<Page> pages;
  // The designed texts and bar positions until the behaviour changes them.
  std::map<Ctl, std::wstring> texts{{Ctl::lblPercentNum, L"0%"}};
  std::map<Ctl, bool> visible;
  std::map<Ctl, bool> enabled;
  std::optional<ui::TProductTexts> productTexts;
  std::map<Ctl, int> positions{{Ctl::pbProgress, 10}, {Ctl::pbUninstall, 5}};
  std::vector<int> progressValues;  // every value pbProgress took, in order
  // What pbProgress and lblPercentNum showed when tbProcess was shown, for its first paint.
  std::optional<std::pair<int, std::wstring>> progressWhenShown;
  std::map<SkinSlot, std::wstring> skins;
  int processMessagesCalls = 0;
  int sleptMs = 0;
  std::optional<std::wstring> sessionEndBlocked;  // the reason given while a shutdown is held off

  void Record(const std::wstring& event) {
    if (beforeEvent) beforeEvent(timeline);
    timeline.push_back(event);
  }

  void SetTitle(const std::wstring& text) override { title = text; }
  void SetFolderRowOpen(bool open) override { folderRowOpen = open; }
  void HideAtStart() override { hiddenAtStart = true; }
  void BringToFront() override { Record(L"foreground"); }
  void CloseWindow() override {
    Record(L"close");
    if (closed) return;
    if (onCloseQuery && !onCloseQuery()) {
      Record(L"close refused");
      return;
    }
    if (onClose) onClose();
    closed = true;
  }
  // A shutdown or log-off asks whether it may go ahead, as WM_QUERYENDSESSION does.
  bool QueryEndSession() { return !onCloseQuery || onCloseQuery(); }
  void PostQuit() override {
    Record(L"quit");
    quitPosted = true;
  }
  void ProcessMessages() override {
    ++processMessagesCalls;
    sys::ProcessPendingMessages();
    if (whileProcessingMessages) whileProcessingMessages();
  }
  void WaitForMessages(int timeoutMs) override {
    sys::WaitAndProcessMessages(static_cast<unsigned>(timeoutMs));
    if (whileProcessingMessages) whileProcessingMessages();
  }
  void Sleep(int milliseconds) override { sleptMs += milliseconds; }
  void SetAutoInstallTimer(bool on) override { timerEnabled = on; }
  void BlockSessionEnd(const std::wstring& reason) override { sessionEndBlocked = reason; }
  void AllowSessionEnd() override { sessionEndBlocked.reset(); }

  void ApplySkin(SkinSlot slot, const std::wstring& resourceName) override { skins[slot] = resourceName; }
  void HideTabs() override { tabsHidden = true; }
  void ShowProductTexts(const ui::TProductTexts& texts) override { productTexts = texts; }
  void ShowPage(Page p) override {
    page = p;
    pages.push_back(p);
    if (p == Page::tbProcess) progressWhenShown = {positions[Ctl::pbProgress], texts[Ctl::lblPercentNum]};
    Record(std::wstring(L"page ") + PageName(p));
  }
  void SetText(Ctl control, const std::wstring& text) override { texts[control] = text; }
  std::wstring Text(Ctl control) override { return texts[control]; }
  void SetVisible(Ctl control, bool on) override { visible[control] = on; }
  void SetEnabled(Ctl control, bool on) override { enabled[control] = on; }
  void SetPosition(Ctl bar, int value) override {
    positions[bar] = value;
    if (bar == Ctl::pbProgress) progressValues.push_back(value);
  }

  void ShowMessageDialog(const std::wstring& text) override { Record(L"dialog " + text); }
  bool ShowConfirmDialog(const std::wstring& text, bool yesDefault) override {
    Record(std::wstring(L"confirm ") + (yesDefault ? L"(yes) " : L"(no) ") + text);
    return Next(confirmAnswers);
  }
  int ShowCheckIfInstalled(const std::wstring& text) override {
    Record(L"installed? " + text);
    return checkIfInstalledResult;
  }
  void ShowMessageBox(const std::wstring& text) override { Record(L"box " + text); }
  bool AskYesNo(const std::wstring& caption, const std::wstring& text) override {
    Record(L"ask " + caption + L" " + text);
    return Next(yesNoAnswers);
  }
  std::optional<std::wstring> BrowseForFolder(const std::wstring& text) override {
    Record(L"browse " + text);
    return browseAnswer;
  }
  std::intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters, const std::wstring& directory,
                          int showCmd, bool ownedByWindow) override {
    Record(L"shell " + file + L" [" + parameters + L"] " + std::to_wstring(showCmd) + (ownedByWindow ? L" owned" : L"") +
           (directory.empty() ? L"" : L" in " + directory));
    return shellResult;
  }

  // Events of the timeline that start with prefix.
  std::vector<std::wstring> Events(const std::wstring& prefix) const {
    std::vector<std::wstring> found;
    for (const std::wstring& e : timeline) {
      if (e.rfind(prefix, 0) == 0) found.push_back(e);
    }
    return found;
  }

 private:
  static bool Next(std::deque<bool>& answers) {
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace installer::testing
