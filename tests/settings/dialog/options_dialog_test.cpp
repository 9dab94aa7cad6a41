#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "app/sheet_commands.h"
#include "settings/dialog/options_dlg.h"
#include "sheet/compose_sheet.h"
#include "support/test_paths.h"
#include "widgets/color_button.h"
#include "widgets/prompts.h"
#include "widgets/when_modal.h"

namespace {

template <typename W = QWidget>
W* Get(QWidget* dialog, const char* name) {
    W* widget = dialog->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}
void Click(QWidget* d, const char* name) { QTest::mouseClick(Get<QAbstractButton>(d, name), Qt::LeftButton); }
void Type(QWidget* d, const char* name, const char* text) {
    Get<QLineEdit>(d, name)->selectAll();
    QTest::keyClicks(Get<QLineEdit>(d, name), text);
}
bool SameRecord(const SheetOptions& a, const SheetOptions& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Answers every prompt the dialog and the commands show, and records them.
class OptionsDialog : public ::testing::Test, public Prompts {
protected:
    OptionsDialog() { Prompts::Install(this); }
    ~OptionsDialog() override { Prompts::Install(nullptr); }

    int Message(QWidget*, const std::string& text, const std::string& caption, Buttons buttons, Icon icon) override {
        messages.push_back(text);
        EXPECT_EQ(caption, "Reelcap");
        if (buttons == Buttons::Ok) return kOk;
        EXPECT_EQ(icon, Icon::Warning);
        const int answer = answers.empty() ? kCancel : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
    std::string SaveFileName(QWidget*, const std::vector<FileFilter>& filters, const std::string& suffix,
                             const std::string&) override {
        ++saveAsked;
        EXPECT_EQ(filters[0].patterns[0], "*.jpg");
        EXPECT_EQ(suffix, ".jpg");
        return savePath;
    }
    bool ChooseFont(QWidget*, LOGFONTA& chosen, COLORREF& color) override {
        chosen = font;
        color = MakeRgb(10, 20, 30);
        return true;
    }

    // Runs the dialog modally with `act` working on it while it is up.
    int Run(std::function<void(COptionsDlg*)> act) {
        COptionsDlg dialog(store, nullptr);
        WhenModalShown<COptionsDlg>(std::move(act));
        return dialog.DoModal();
    }
    SheetOptions FileRecord() const { return OptionsStore(store.FilePath()).Options(); }

    ScratchDir dir;
    OptionsStore store{dir / "options.lyt"};
    std::vector<std::string> messages;
    std::deque<int> answers;  // for the Yes/No/Cancel question
    std::string savePath;
    int saveAsked = 0;
    LOGFONTA font{};
};

}  // namespace

TEST_F(OptionsDialog, CancelWithoutChangesAsksNothingAndKeepsUnsavedChanges) {
    store.Options().frameCount = 12;  // entered at Grab All, not saved yet
    const SheetOptions before = store.Options();
    EXPECT_EQ(Run([](COptionsDlg* d) { Click(d, "cancel"); }), COptionsDlg::kCancel);
    // Defaults, then the close box: nothing to ask, the record as it was.
    EXPECT_EQ(Run([](COptionsDlg* d) {
                  Type(d, "columns", "3");
                  Click(d, "defaults");
                  EXPECT_EQ(Get<QLineEdit>(d, "columns")->text(), QStringLiteral("5"));
                  d->close();
              }),
              COptionsDlg::kCancel);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(SameRecord(store.Options(), before));
}

TEST_F(OptionsDialog, EditThenCancelAsksSaveChanges) {
    answers = {kCancel, kNo};
    Run([&](COptionsDlg* d) {
        Type(d, "shadowOffsetX", "7");
        Click(d, "cancel");
        // Cancel at the question: still open, still edited, record untouched.
        EXPECT_TRUE(d->isVisible() && d->IsModified());
        EXPECT_EQ(store.Options().shadowOffsetX, 3);
        Click(d, "cancel");
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Save Changes?", "Save Changes?"}));
    EXPECT_EQ(store.Options().shadowOffsetX, 3);
    EXPECT_EQ(FileRecord().shadowOffsetX, 3);

    // Save mode, Yes: the options are saved but no file name is asked, no sheet written.
    answers = {kYes};
    WhenModalShown<COptionsDlg>([](COptionsDlg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Save"));
        EXPECT_EQ(Get<QPushButton>(d, "apply")->text(), QStringLiteral("Save"));
        Type(d, "shadowOffsetX", "9");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    RunSaveFileCommand(nullptr, {}, {}, MovieDetails{});
    EXPECT_EQ(saveAsked, 0);
    EXPECT_EQ(FileRecord().shadowOffsetX, 9);
}

TEST_F(OptionsDialog, ApplyConvertsAsTypedAndRefusesUnusableLayouts) {
    EXPECT_EQ(Run([](COptionsDlg* d) {
                  Type(d, "jpegQuality", "150");
                  Type(d, "columns", "abc");
                  Click(d, "apply");
                  EXPECT_TRUE(d->isVisible());  // refused, dialog open
                  Type(d, "columns", "  +7x");
                  Type(d, "gapWidth", "-4");
                  Get<CColorButton>(d, "backColor")->SetColor(AUTOMATIC_COLOR);
                  // 5 + 84 x 3 bytes = 257, then a 3-byte character that would pass 259.
                  Get<QPlainTextEdit>(d, "detailsTemplate")->setPlainText("A\nBC" + QString(86, QChar(0x20AC)));
                  Click(d, "apply");
              }),
              COptionsDlg::kOk);
    EXPECT_EQ(messages, std::vector<std::string>{"Columns must be a number of at least 1."});
    const SheetOptions saved = FileRecord();
    EXPECT_EQ(saved.jpegQuality, 100);
    EXPECT_EQ(saved.columns, 7);
    EXPECT_EQ(saved.gapWidth, -4);
    EXPECT_EQ(saved.backColor, 0x00F7F2EEu);
    const std::string stored = saved.detailsTemplate;
    EXPECT_EQ(stored.size(), 5u + 84 * 3);
    EXPECT_EQ(stored.substr(0, 8), "A\r\nBC\xE2\x82\xAC");

    Run([](COptionsDlg* d) {
        Type(d, "jpegQuality", "-5");
        Click(d, "apply");
    });
    EXPECT_EQ(FileRecord().jpegQuality, 0);
}

TEST_F(OptionsDialog, ControlsFollowTheirCheckBoxesAndFonts) {
    font = store.Options().detailsFont;
    std::strcpy(font.lfFaceName, "Liberation Serif");
    font.lfHeight = -20;
    const SheetOptions before = store.Options();
    Run([&](COptionsDlg* d) {
        Click(d, "showDetails");
        for (const char* name : {"detailsPosition", "detailsFont", "detailsTemplate"})
            EXPECT_FALSE(Get(d, name)->isEnabled()) << name;
        EXPECT_TRUE(Get(d, "legend")->isEnabled());
        Click(d, "dropShadow");
        EXPECT_FALSE(Get(d, "shadowIntensity")->isEnabled());
        // Positions are sorted so the index is the position's value.
        EXPECT_EQ(Get<QComboBox>(d, "labelPosition")->itemText(TopRight), QStringLiteral("Top Right"));
        Click(d, "legend");
        Click(d, "showDetails");
        Click(d, "detailsFont");
        EXPECT_EQ(Get<QPushButton>(d, "detailsFont")->text(), QStringLiteral("Liberation Serif"));
        EXPECT_EQ(Get(d, "detailsTemplate")->font().pixelSize(), 20);  // edited in the new font at once
        // Cancel at the question keeps the chosen font in the record, as shown.
        answers = {kCancel, kNo};
        d->close();
        EXPECT_STREQ(store.Options().detailsFont.lfFaceName, "Liberation Serif");
        EXPECT_EQ(store.Options().detailsColor, MakeRgb(10, 20, 30));
        d->close();
    });
    EXPECT_EQ(messages.at(0).substr(0, 21), "The folowing strings ");
    EXPECT_TRUE(SameRecord(store.Options(), before));
}

TEST_F(OptionsDialog, SaveFileWritesTheSheetOrSaysWhyNot) {
    CDibImage images[3];
    std::vector<const CDibImage*> frames;
    for (CDibImage& image : images) {
        ASSERT_TRUE(image.Create(160, 120));
        image.Fill(nullptr, MakeRgb(40 * uint8_t(frames.size()), 100, 200));
        frames.push_back(&image);
    }
    const std::vector<const char*> labels = {"00:00:01", "00:00:02", "00:00:03"};
    const MovieDetails details = MakeMovieDetails("/movies/clip.mp4", 123456, 160, 120, 4.0);
    auto save = [](COptionsDlg* d) { Click(d, "apply"); };

    savePath = dir / "sheet.jpg";
    WhenModalShown<COptionsDlg>(save);
    RunSaveFileCommand(nullptr, frames, labels, details);
    CDibImage expected, written;
    ASSERT_TRUE(ComposeSheetImage(frames, labels, store.Options(), details, expected));
    ASSERT_TRUE(written.LoadJpeg(savePath));
    EXPECT_EQ(written.Width(), expected.Width());
    EXPECT_EQ(written.Height(), expected.Height());
    EXPECT_GE(written.Height(), 111 + 2 * 10);  // one row of tiles at least
    EXPECT_TRUE(messages.empty());

    savePath = dir / "missing/sheet.jpg";
    WhenModalShown<COptionsDlg>(save);
    RunSaveFileCommand(nullptr, frames, labels, details);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("sheet.jpg"), std::string::npos) << messages[0];
}
