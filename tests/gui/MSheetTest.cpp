// Dialogs shown as sheets inside a window: the window behind gets no input, the answer comes
// once through the completion, sheets stack, a button may end its own sheet, closing the window
// runs no completion, and a window too small for the dialog shrinks and scrolls it.

#include "gui/controls/MSheet.h"

#include "gui/controls/MButton.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MFileDialog.h"
#include "gui/controls/MStatic.h"
#include "base/MStringList.h"
#include "gui/headless/MWindowSystemHeadless.h"
#include "tools/gallery/MGallery.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
void Count(MEventTarget*, void* context, MOnNotifyParams&)
{
  ++*static_cast<int*>(context);
}

class MSheetTest : public testing::Test
{
protected:
  void SetUp() override
  {
    m_system.Initialize();
    m_style = MGallery::MakeStyle("Default");
    m_system.SetDefaultStyle(m_style.get());
    m_window = std::make_unique<MWindow>();
    m_window->SetSize(MSize{480, 360});
    m_behind = &m_window->Add<MButton>(MString("Behind"));
    m_behind->SetBounds(MRect{10, 10, 110, 40});
    m_behind->GetChangedEvent().Subscribe(m_window.get(), &m_clicks, &Count);
    m_window->Open(m_system);
  }
  void TearDown() override
  {
    m_window.reset();
    EXPECT_EQ(m_system.GetModalLoopCount(), 0);
  }

  void Send(MSystemEvent::Code code, MPoint at = MPoint{}, std::int32_t value = 0)
  {
    m_window->DispatchSystemEvent(MSystemEvent{code, at, 0, value});
  }
  void ClickAt(MPoint at)
  {
    Send(MSystemEvent::MouseMove, at);
    Send(MSystemEvent::LeftDown, at);
    Send(MSystemEvent::LeftUp, at);
  }
  static MPoint Centre(const MControl& control)
  {
    const MRect r = control.GetWindowRect();
    return MPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  static MButton& ButtonOf(const MDialog& dialog, std::size_t which)
  {
    std::vector<MButton*> buttons;
    for (std::size_t i = 0; i < dialog.GetChildCount(); ++i)
      if (auto* button = dynamic_cast<MButton*>(dialog.GetChild(i)))
        buttons.push_back(button);
    return *buttons.at(which);
  }
  MDialog& Question(std::vector<MModalValue>& answers)
  {
    return MSheet::Show(*m_window,
                        std::make_unique<MMessageDialog>(MString("Tonvera"), MString("Replace?"),
                                                         MMessageDialog::Buttons::YesNo),
                        [&answers](MModalValue value) { answers.push_back(value); });
  }

  MWindowSystemHeadless m_system;
  std::unique_ptr<MStyle> m_style;
  std::unique_ptr<MWindow> m_window;
  MButton* m_behind = nullptr;
  int m_clicks = 0;
};
} // namespace

TEST_F(MSheetTest, TheWindowBehindGetsNoInputAndTheAnswerComesOnce)
{
  std::vector<MModalValue> answers;
  MDialog& dialog = Question(answers);
  EXPECT_TRUE(dialog.IsAncestorOf(m_window->GetFocusControl())) << "the focus moves into the dialog";
  ClickAt(Centre(*m_behind));
  EXPECT_EQ(m_clicks, 0) << "the click went to the sheet";
  for (int tab = 0; tab < 5; ++tab)
  {
    Send(MSystemEvent::KeyDown, MPoint{}, MVirtualKey::Tab);
    EXPECT_TRUE(dialog.IsAncestorOf(m_window->GetFocusControl())) << "Tab stays in the dialog";
  }
  Send(MSystemEvent::KeyDown, MPoint{}, MVirtualKey::Escape);
  EXPECT_EQ(answers, std::vector<MModalValue>{MModalValue::Cancel});
  EXPECT_TRUE(MSheet::SheetsOf(*m_window).empty()) << "gone once the key's handler returned";
  Send(MSystemEvent::KeyDown, MPoint{}, MVirtualKey::Return);
  EXPECT_EQ(answers.size(), 1u) << "nothing answers twice";
  ClickAt(Centre(*m_behind));
  EXPECT_EQ(m_clicks, 1) << "the window takes input again";

  Question(answers);
  Send(MSystemEvent::KeyDown, MPoint{}, MVirtualKey::Return);
  EXPECT_EQ(answers.back(), MModalValue::Yes) << "Return takes the default button";
}

TEST_F(MSheetTest, OnlyTheTopSheetTakesInputAButtonMayEndItsOwnSheetAndClosingRunsNoCompletion)
{
  std::vector<MModalValue> lower, upper;
  MDialog& below = Question(lower);
  const MPoint belowYes = Centre(ButtonOf(below, 0));
  MDialog& above =
      MSheet::Show(*m_window, std::make_unique<MMessageDialog>(MString("Presets"), MString("Saved.")),
                   [&upper](MModalValue value) { upper.push_back(value); });
  std::weak_ptr<void> aboveAlive = above.GetLifetime();
  ClickAt(belowYes);
  EXPECT_TRUE(lower.empty()) << "the lower sheet is covered";
  // The OK button's click ends the sheet that holds it; the button is destroyed only after its
  // handler returned (an ASan build catches the other order).
  ClickAt(Centre(ButtonOf(above, 0)));
  EXPECT_EQ(upper, std::vector<MModalValue>{MModalValue::Ok});
  EXPECT_TRUE(aboveAlive.expired());
  EXPECT_TRUE(below.IsAncestorOf(m_window->GetFocusControl())) << "the focus returns to the sheet below";
  ClickAt(belowYes);
  EXPECT_EQ(lower, std::vector<MModalValue>{MModalValue::Yes});
  EXPECT_EQ(m_clicks, 0);

  // Closing the window with sheets open runs no completion.
  std::vector<MModalValue> answers;
  std::weak_ptr<void> first = Question(answers).GetLifetime();
  std::weak_ptr<void> second = Question(answers).GetLifetime();
  m_window->Close();
  m_window.reset();
  EXPECT_TRUE(first.expired());
  EXPECT_TRUE(second.expired());
  EXPECT_TRUE(answers.empty()) << "the editor closed: nobody answered";
}

TEST_F(MSheetTest, ASmallWindowShrinksTheDialogAndScrollsWhatDoesNotFit)
{
  MDialog& dialog = MSheet::Show(*m_window, std::make_unique<MFileDialog>(MString("Import"), MString(".")));
  const MSize wanted{460, 380};
  EXPECT_EQ(dialog.GetSize(), (MSize{480 - 2 * MSheet::kBorder, 360 - 2 * MSheet::kBorder}))
      << "shrunk to the window, a border left around it";
  m_window->SetSize(MSize{200, 150});
  EXPECT_EQ(dialog.GetSize(), MSheet::kMinimum) << "never below the minimum";
  EXPECT_EQ(dialog.GetPosition(), MPoint{});
  Send(MSystemEvent::MouseWheel, MPoint{100, 100}, -120);
  EXPECT_EQ(dialog.GetPosition().y, -(MSheet::kMinimum.y - 150)) << "the rest scrolls into view";
  EXPECT_EQ(m_window->GetChildCount(), 2u) << "no second window, one sheet";
  m_window->SetSize(MSize{800, 600});
  EXPECT_EQ(dialog.GetSize(), wanted);
  EXPECT_EQ(dialog.GetPosition(), (MPoint{(800 - wanted.x) / 2, (600 - wanted.y) / 2}));
}

TEST_F(MSheetTest, ALongQuestionBreaksBetweenWordsInsideItsDialog)
{
  const MString question(
      "Put the factory presets back? Factory presets you changed are replaced by the originals; "
      "your own presets stay.");
  m_window->SetSize(MSize{720, 528});
  MDialog& dialog = MSheet::Show(*m_window, std::make_unique<MMessageDialog>(MString("Presets"), question,
                                                                             MMessageDialog::Buttons::YesNo));
  const MStaticMultiLine* text = nullptr;
  for (std::size_t i = 0; i < dialog.GetChildCount() && text == nullptr; ++i)
    text = dynamic_cast<const MStaticMultiLine*>(dialog.GetChild(i));
  ASSERT_NE(text, nullptr);
  const MStringList lines = MStringList::Split(text->GetText(), u'\n');
  EXPECT_GT(lines.Count(), 1);
  MString joined;
  for (std::int32_t l = 0; l < lines.Count(); ++l)
  {
    EXPECT_LE(MControlUtility::MeasureText(*text, lines[l], MStdFont::Normal).x, text->GetBounds().Width())
        << lines[l].ToUTF8();
    joined += (l > 0 ? MString(" ") : MString()) + lines[l];
  }
  EXPECT_EQ(joined, question) << "every word is still there";
  EXPECT_LE(dialog.GetBounds().right, m_window->GetSize().x);
}
