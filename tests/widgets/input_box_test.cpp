#include "widgets/input_box.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "widgets/when_modal.h"

namespace {

QLineEdit* EditOf(CInputBox& box) { return box.findChild<QLineEdit*>(QStringLiteral("edit")); }
QLabel* PromptOf(CInputBox& box) { return box.findChild<QLabel*>(QStringLiteral("prompt")); }
QPushButton* ButtonOf(CInputBox& box, const char* name) {
    return box.findChild<QPushButton*>(QString::fromLatin1(name));
}

// Runs the box modally and lets `act` work on it while it is up.
int RunWith(CInputBox& box, std::function<void(CInputBox*)> act) {
    WhenModalShown<CInputBox>(std::move(act));
    return box.DoModal();
}

}  // namespace

TEST(InputBox, ShowsPromptTextAndControls) {
    CInputBox box;
    box.SetPrompt("Number of Frames to Extract: ");
    box.SetText("12");
    box.show();
    ASSERT_NE(EditOf(box), nullptr);
    EXPECT_EQ(PromptOf(box)->text(), QStringLiteral("Number of Frames to Extract: "));
    EXPECT_EQ(EditOf(box)->text(), QStringLiteral("12"));
    EXPECT_EQ(ButtonOf(box, "ok")->text(), QStringLiteral("OK"));
    EXPECT_EQ(ButtonOf(box, "cancel")->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(ButtonOf(box, "ok")->isDefault());
    EXPECT_TRUE(box.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(box.isModal());
    // Tab order: OK, Cancel, then the edit box.
    EXPECT_EQ(ButtonOf(box, "ok")->nextInFocusChain(), ButtonOf(box, "cancel"));
    EXPECT_EQ(ButtonOf(box, "cancel")->nextInFocusChain(), EditOf(box));
    // Controls stay inside the box and do not overlap.
    const QRect all = box.rect();
    for (QWidget* w : {static_cast<QWidget*>(PromptOf(box)), static_cast<QWidget*>(EditOf(box)),
                       static_cast<QWidget*>(ButtonOf(box, "ok")),
                       static_cast<QWidget*>(ButtonOf(box, "cancel"))})
        EXPECT_TRUE(all.contains(w->geometry())) << w->objectName().toStdString();
    EXPECT_LE(PromptOf(box)->geometry().bottom(), EditOf(box)->geometry().top());
    EXPECT_LE(EditOf(box)->geometry().bottom(), ButtonOf(box, "ok")->geometry().top());
}

TEST(InputBox, WholeTextSelectedWhenShownSoTypingReplacesIt) {
    CInputBox box;
    box.SetText("00:01:02");
    box.show();
    QLineEdit* edit = EditOf(box);
    EXPECT_EQ(box.focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("00:01:02"));
    EXPECT_EQ(edit->cursorPosition(), 8);  // caret at the end, in view
    QTest::keyClicks(edit, "7");
    EXPECT_EQ(box.GetText(), "7");
}

TEST(InputBox, EnterAtOnceAnswersOkWithInitialText) {
    CInputBox box;
    box.SetText("25");
    const int result = RunWith(box, [](CInputBox* b) { QTest::keyClick(EditOf(*b), Qt::Key_Return); });
    EXPECT_EQ(result, CInputBox::kOk);
    EXPECT_EQ(box.GetText(), "25");
}

TEST(InputBox, TypedTextIsTheAnswer) {
    CInputBox box;
    box.SetText("old");
    const int result = RunWith(box, [](CInputBox* b) {
        QTest::keyClicks(EditOf(*b), "new label");
        QTest::keyClick(EditOf(*b), Qt::Key_Enter);
    });
    EXPECT_EQ(result, CInputBox::kOk);
    EXPECT_EQ(box.GetText(), "new label");
}

TEST(InputBox, EmptyTextIsAValidAnswer) {
    CInputBox box;
    box.SetText("something");
    const int result = RunWith(box, [](CInputBox* b) {
        QTest::keyClick(EditOf(*b), Qt::Key_Delete);  // removes the selected text
        QTest::mouseClick(ButtonOf(*b, "ok"), Qt::LeftButton);
    });
    EXPECT_EQ(result, CInputBox::kOk);
    EXPECT_EQ(box.GetText(), "");
}

TEST(InputBox, EscapeCancelAndCloseAllCancel) {
    {
        CInputBox box;
        box.SetText("a");
        EXPECT_EQ(RunWith(box,
                          [](CInputBox* b) {
                              QTest::keyClicks(EditOf(*b), "edited");
                              QTest::keyClick(EditOf(*b), Qt::Key_Escape);
                          }),
                  CInputBox::kCancel);
    }
    {
        CInputBox box;
        EXPECT_EQ(RunWith(box,
                          [](CInputBox* b) {
                              QTest::mouseClick(ButtonOf(*b, "cancel"), Qt::LeftButton);
                          }),
                  CInputBox::kCancel);
    }
    {
        CInputBox box;
        EXPECT_EQ(RunWith(box, [](CInputBox* b) { b->close(); }), CInputBox::kCancel);
    }
}

TEST(InputBox, LongPromptWrapsOntoSecondLine) {
    CInputBox box;
    const std::string prompt =
        "A prompt that is much too long to fit on a single line of this small box";
    box.SetPrompt(prompt);
    box.show();
    QLabel* label = PromptOf(box);
    const int line = label->fontMetrics().lineSpacing();
    EXPECT_TRUE(label->wordWrap());
    EXPECT_GE(label->height(), 2 * line);
    // The text needs more than one line at the label's width and fits in it.
    const int needed = label->heightForWidth(label->width());
    EXPECT_GT(needed, line);
    EXPECT_LE(needed, label->height());
}

TEST(InputBox, TextRoundTripsAsUtf8) {
    CInputBox box;
    box.SetText("Grüße 東京");
    EXPECT_EQ(box.GetText(), "Grüße 東京");
    EXPECT_EQ(EditOf(box)->text(), QStringLiteral("Grüße 東京"));
}

TEST(InputBox, CentredOverItsParent) {
    QWidget parent;
    parent.setGeometry(100, 80, 900, 500);
    parent.show();
    CInputBox box(&parent);
    box.show();
    const QPoint boxCentre = box.frameGeometry().center();
    const QPoint parentCentre = parent.frameGeometry().center();
    EXPECT_NEAR(boxCentre.x(), parentCentre.x(), 2);
    EXPECT_NEAR(boxCentre.y(), parentCentre.y(), 2);
}

TEST(InputBox, LongTextIsNotCut) {
    // Pressing OK on a long label must give it back whole.
    const std::string label(40000, 'x');
    CInputBox box;
    box.SetText(label);
    const int result = RunWith(box, [](CInputBox* b) { QTest::keyClick(EditOf(*b), Qt::Key_Return); });
    EXPECT_EQ(result, CInputBox::kOk);
    EXPECT_EQ(box.GetText().size(), label.size());
}
