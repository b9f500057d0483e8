// The small dialogs: password keys through real key events, the open-file
// wildcard, the programming bar, the box flags, the tray fallback.
#include <gtest/gtest.h>
#include <wx/artprov.h>
#include <wx/timer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/flash_settings.h"
#include "image/bios_image.h"
#include "ui/control_ids.h"
#include "ui/password_dialog.h"
#include "platform/wx_box_dialog.h"
#include "platform/wx_message_box.h"
#include "ui/small_dialogs.h"
#include "wx_test_support.h"

namespace brim {
namespace {

// A key event as GTK delivers it: X11 hardware key code = input code + 8.
wxKeyEvent Key(wxEventType type, int keyCode, wxChar unicode, int inputCode) {
  wxKeyEvent e(type);
  e.m_keyCode = keyCode;
  e.m_uniChar = unicode;
  e.m_rawFlags = static_cast<wxUint32>(inputCode + 8);
  return e;
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = FlashSettings{};
    CurrentRomImage() = BiosImage{};
  }
  void TearDown() override { CurrentRomImage() = BiosImage{}; }
};

TEST_F(Dialogs, PasswordEditRecordsScanCodesAndShowsOneCharacterPerKey) {
  PasswordDialog dialog(nullptr, PasswordCoding::kScanCodes);
  PasswordEdit* edit = dialog.Edit();
  EXPECT_EQ(dialog.GetTitle(), "Password Check");
  EXPECT_EQ(Child<wxWindow>(&dialog, ids::kPasswordPrompt)->GetLabel(), "Please input your BIOS setup password :");
  for (int i = 0; i < 9; ++i) {
    wxKeyEvent a = Key(wxEVT_CHAR, 'a', 'a', 30);
    edit->OnChar(a);
  }
  EXPECT_EQ(edit->Keys().Count(), 8);
  EXPECT_EQ(edit->GetValue().length(), 8u) << "the ninth key shows nothing";
  EXPECT_EQ(edit->Keys().Codes(), std::string(8, '\x1E'));

  wxKeyEvent back = Key(wxEVT_CHAR, WXK_BACK, WXK_BACK, 14);
  edit->OnChar(back);
  EXPECT_EQ(edit->Keys().Count(), 7);
  EXPECT_EQ(edit->GetValue().length(), 7u);

  // An arrow key beeps and does not reach the edit.
  wxKeyEvent left = Key(wxEVT_KEY_DOWN, WXK_LEFT, WXK_NONE, 105);
  left.Skip(false);
  edit->OnKeyDown(left);
  EXPECT_FALSE(left.GetSkipped());
  wxKeyEvent letter = Key(wxEVT_KEY_DOWN, 'A', 'A', 30);
  letter.Skip(false);
  edit->OnKeyDown(letter);
  EXPECT_TRUE(letter.GetSkipped());
  dialog.Destroy();
}

TEST_F(Dialogs, PasswordEditOnVemoMachineFoldsKeypad) {
  PasswordDialog dialog(nullptr, PasswordCoding::kVemoScanCodes);
  wxKeyEvent keypad7 = Key(wxEVT_CHAR, WXK_NUMPAD7, '7', 71);
  dialog.Edit()->OnChar(keypad7);
  wxKeyEvent main7 = Key(wxEVT_CHAR, '7', '7', 8);
  dialog.Edit()->OnChar(main7);
  EXPECT_EQ(dialog.Edit()->Keys().Codes(), "\x08\x08");
  dialog.Destroy();
}

TEST_F(Dialogs, BrowseWildcardFollowsRomLayout) {
  CurrentRomImage().flagWord = 0x10;
  EXPECT_EQ(FileNameDialog::Wildcard(), "ROMFiles (*.rom)|*.rom|QZWFiles (*.qzw)|*.qzw");
  CurrentRomImage().flagWord = 0;
  EXPECT_EQ(FileNameDialog::Wildcard(), "BINFiles (*.bin)|*.bin");
}

TEST_F(Dialogs, FileNameDialogKeepsLastNameAndReportsCancel) {
  FileNameDialog dialog(nullptr);
  EXPECT_EQ(dialog.GetTitle(), "Enter File Name");
  auto* edit = Child<wxTextCtrl>(&dialog, ids::kFileNameEdit);
  ASSERT_TRUE(edit);
  // OK and Cancel through the buttons while the dialog runs modally.
  dialog.CallAfter([&] {
    edit->ChangeValue("bios.bin");
    Click(&dialog, ids::kOk);
  });
  std::string name;
  EXPECT_TRUE(dialog.Ask(name));
  EXPECT_EQ(name, "bios.bin");
  dialog.CallAfter([&] {
    EXPECT_EQ(edit->GetValue(), "bios.bin") << "the last name stays in the edit";
    Click(&dialog, ids::kExit);
  });
  EXPECT_FALSE(dialog.Ask(name));
  EXPECT_TRUE(dialog.Cancelled());
  dialog.Destroy();
}

TEST_F(Dialogs, LogoClosesItselfAfterTwoSeconds) {
  LogoDialog logo(nullptr);
  EXPECT_EQ(logo.GetClientSize(), wxSize(512, 384));
  wxCloseEvent close(wxEVT_CLOSE_WINDOW);
  logo.CallAfter([&] { logo.ProcessWindowEvent(close); });  // refused: only the timer closes it
  const auto start = std::chrono::steady_clock::now();
  logo.ShowModal();
  const auto shown = std::chrono::steady_clock::now() - start;
  EXPECT_GE(shown, std::chrono::milliseconds(1900));
  EXPECT_LT(shown, std::chrono::seconds(10));
  logo.Destroy();
}

bool SamePixels(const wxBitmap& a, const wxBitmap& b) {
  if (!a.IsOk() || !b.IsOk() || a.GetSize() != b.GetSize()) return false;
  const wxImage x = a.ConvertToImage(), y = b.ConvertToImage();
  const size_t n = static_cast<size_t>(x.GetWidth()) * x.GetHeight() * 3;
  return std::equal(x.GetData(), x.GetData() + n, y.GetData());
}

// The box that WxMessageBox has open, from inside its modal loop.
plat::WxBoxDialog* OpenBox() {
  for (wxWindow* w : wxTopLevelWindows)
    if (auto* box = dynamic_cast<plat::WxBoxDialog*>(w); box && box->IsModal()) return box;
  return nullptr;
}

TEST_F(Dialogs, MessageBoxShowsTheIconItsFlagsAskFor) {
  const struct {
    unsigned flags;
    wxArtID art;
  } cases[] = {
      {plat::MB_OK | plat::MB_ICONEXCLAMATION | plat::MB_TOPMOST, wxART_WARNING},
      {plat::MB_OK | plat::MB_ICONINFORMATION, wxART_INFORMATION},
      {plat::MB_YESNO | plat::MB_ICONQUESTION, wxART_QUESTION},
      {plat::MB_OKCANCEL | plat::MB_ICONERROR, wxART_ERROR},
  };
  const wxArtID all[] = {wxART_WARNING, wxART_INFORMATION, wxART_QUESTION, wxART_ERROR};
  for (const auto& c : cases) {
    plat::WxBoxDialog box(nullptr, "text", "Brimlet Warning", c.flags);
    ASSERT_NE(box.Icon(), nullptr) << c.flags;
    EXPECT_EQ(box.Art(), c.art);
    const wxBitmap shown = box.Icon()->GetBitmap();
    // The picture is that art's, and no other sign's.
    for (const wxArtID& art : all)
      EXPECT_EQ(SamePixels(shown, wxArtProvider::GetBitmap(art, wxART_MESSAGE_BOX)), art == c.art)
          << c.flags << " " << art;
    EXPECT_EQ((box.GetWindowStyle() & wxSTAY_ON_TOP) != 0, (c.flags & plat::MB_TOPMOST) != 0);
    box.Destroy();
  }
  plat::WxBoxDialog plain(nullptr, "Program ROM Fail !", "Program ROM", plat::MB_OK);
  EXPECT_EQ(plain.Icon(), nullptr) << "no icon bits, no icon";
  plain.Destroy();
}

TEST_F(Dialogs, MessageBoxButtonsGiveTheBoxAnswers) {
  plat::WxMessageBox boxes;
  const struct {
    unsigned flags;
    int button;  // 0: closed with Escape
    int answer;
  } cases[] = {
      {plat::MB_OK, wxID_OK, plat::IDOK},
      {plat::MB_OKCANCEL, wxID_OK, plat::IDOK},
      {plat::MB_OKCANCEL, wxID_CANCEL, plat::IDCANCEL},
      {plat::MB_OKCANCEL, 0, plat::IDCANCEL},
      {plat::MB_YESNO | plat::MB_ICONQUESTION, wxID_YES, plat::IDYES},
      {plat::MB_YESNO | plat::MB_ICONQUESTION, wxID_NO, plat::IDNO},
      {plat::MB_YESNO | plat::MB_ICONQUESTION, 0, plat::IDNO},
  };
  for (const auto& c : cases) {
    bool seen = false;
    wxTheApp->CallAfter([&] {
      plat::WxBoxDialog* box = OpenBox();
      if (!box) return;
      seen = true;
      EXPECT_EQ(box->GetTitle(), "Brimlet Warning");
      if (c.button == 0) {
        wxKeyEvent esc(wxEVT_CHAR_HOOK);
        esc.m_keyCode = WXK_ESCAPE;
        esc.SetEventObject(box);
        box->ProcessWindowEvent(esc);
      } else {
        Click(box, c.button);
      }
    });
    EXPECT_EQ(boxes.Show("Are you sure?", "Brimlet Warning", c.flags), c.answer) << c.flags << " " << c.button;
    EXPECT_TRUE(seen);
  }
}

TEST_F(Dialogs, BoxAskedForOnAWorkerIsShownByTheWindowThread) {
  plat::WxMessageBox boxes;
  bool seenOnMain = false;
  wxTimer answerer;
  answerer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (plat::WxBoxDialog* box = OpenBox()) {
      seenOnMain = wxThread::IsMain();
      Click(box, wxID_CANCEL);
    }
  });
  answerer.Start(20);
  std::atomic<int> answer{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    answer = boxes.Show("Verify ROM Fail !", "Brimlet Error", plat::MB_OKCANCEL);
    done = true;
  });
  // As the flash sequence does while its worker runs.
  for (int i = 0; i < 3000 && !done; ++i) {
    Yield(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  worker.join();
  answerer.Stop();
  EXPECT_TRUE(seenOnMain);
  EXPECT_EQ(answer, plat::IDCANCEL) << "the worker gets the answer given";
}

TEST_F(Dialogs, WithoutNotificationAreaOkKeepsWindowShown) {
  if (wxTaskBarIcon::IsAvailable()) GTEST_SKIP() << "this display has a notification area";
  FlashDialog::Hooks hooks;
  hooks.generalButton = [](int) {};
  auto* window = new FlashDialog(hooks);
  window->Show();
  window->MinimiseToTray();
  EXPECT_TRUE(window->IsShown());
  EXPECT_FALSE(window->InTray());
  window->Destroy();
  Yield();
}

}  // namespace
}  // namespace brim
