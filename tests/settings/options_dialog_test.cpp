#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>

#include "app/sheet_commands.h"
#include "settings/options_dlg.h"
#include "sheet/compose_sheet.h"
#include "support/test_paths.h"
#include "widgets/color_button.h"
#include "widgets/prompts.h"
#include "widgets/when_modal.h"

namespace {

// Answers every prompt the dialog and the commands show, and records them.
struct ScriptedPrompts : Prompts {
    std::vector<std::string> messages;
    std::deque<int> answers;  // for Yes/No/Cancel questions
    std::string savePath;
    int saveAsked = 0;
    LOGFONTA font{};
    COLORREF fontColor = 0;
    int Message(QWidget*, const std::string& text, const std::string& caption, Buttons buttons, Icon icon) override {
        messages.push_back(text);
        EXPECT_EQ(caption, "Reelcap");
        if (buttons == Buttons::Ok) return kOk;
        EXPECT_EQ(icon, Icon::Warning);
        const int answer = answers.empty() ? kCancel : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
    std::string SaveFileName(QWidget*, const std::vector<FileFilter>& filters, const std::string& suffix) override {
        ++saveAsked;
        EXPECT_EQ(filters.size(), 1u);
        EXPECT_EQ(suffix, ".jpg");
        return savePath;
    }
    bool ChooseFont(QWidget*, LOGFONTA& chosen, COLORREF& color) override {
        chosen = font;
        color = fontColor;
        return true;
    }
};

template <typename W>
W* Get(QWidget* dialog, const char* name) {
    W* widget = dialog->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}
QLineEdit* Edit(QWidget* d, const char* name) { return Get<QLineEdit>(d, name); }
void Click(QWidget* d, const char* name) { QTest::mouseClick(Get<QAbstractButton>(d, name), Qt::LeftButton); }
void Type(QWidget* d, const char* name, const char* text) {
    Edit(d, name)->selectAll();
    QTest::keyClicks(Edit(d, name), text);
}

std::vector<char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
bool SameRecord(const SheetOptions& a, const SheetOptions& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class OptionsDialog : public ::testing::Test {
protected:
    OptionsDialog() { Prompts::Install(&prompts); }
    ~OptionsDialog() override { Prompts::Install(nullptr); }

    // Runs the dialog modally with `act` working on it while it is up.
    int Run(std::function<void(COptionsDlg*)> act, bool saveMode = false) {
        COptionsDlg dialog(store, nullptr);
        dialog.SetSaveMode(saveMode);
        WhenModalShown<COptionsDlg>(std::move(act));
        return dialog.DoModal();
    }
    SheetOptions FileRecord() {
        OptionsStore copy(store.FilePath());
        SheetOptions record = copy.Options();
        return record;
    }

    ScratchDir dir;
    OptionsStore store{dir / "options.lyt"};
    ScriptedPrompts prompts;
};

}  // namespace

TEST_F(OptionsDialog, CancelWithoutChangesAsksNothingAndKeepsUnsavedChanges) {
    store.Options().frameCount = 12;  // entered at Grab All, not saved yet
    const SheetOptions before = store.Options();
    EXPECT_EQ(Run([](COptionsDlg* d) { Click(d, "cancel"); }), COptionsDlg::kCancel);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(SameRecord(store.Options(), before));
    // Defaults, then the close box: nothing to ask, the record as it was.
    EXPECT_EQ(Run([](COptionsDlg* d) {
                  Type(d, "columns", "3");
                  Click(d, "defaults");
                  EXPECT_EQ(Edit(d, "columns")->text(), QStringLiteral("5"));
                  EXPECT_FALSE(d->IsModified());
                  d->close();
              }),
              COptionsDlg::kCancel);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(SameRecord(store.Options(), before));
}

TEST_F(OptionsDialog, EditThenCancelAsksSaveChanges) {
    const std::vector<char> file = FileBytes(store.FilePath());
    prompts.answers = {Prompts::kCancel, Prompts::kNo};
    EXPECT_EQ(Run([&](COptionsDlg* d) {
                  Type(d, "shadowOffsetX", "7");
                  Click(d, "cancel");
                  // Cancel at the question: still open, still edited, record untouched.
                  EXPECT_TRUE(d->isVisible());
                  EXPECT_TRUE(d->IsModified());
                  EXPECT_EQ(Edit(d, "shadowOffsetX")->text(), QStringLiteral("7"));
                  EXPECT_EQ(store.Options().shadowOffsetX, 3);
                  Click(d, "cancel");
              }),
              COptionsDlg::kCancel);
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Save Changes?", "Save Changes?"}));
    EXPECT_EQ(store.Options().shadowOffsetX, 3);
    EXPECT_EQ(FileBytes(store.FilePath()), file);

    // Save mode, Yes: the options are saved but no file name is asked, no sheet written.
    prompts.answers = {Prompts::kYes};
    WhenModalShown<COptionsDlg>([](COptionsDlg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Save"));
        EXPECT_EQ(Get<QPushButton>(d, "apply")->text(), QStringLiteral("Save"));
        Type(d, "shadowOffsetX", "9");
        QTest::keyClick(d, Qt::Key_Escape);
    });
    RunSaveFileCommand(nullptr, {}, {}, MovieDetails{});
    EXPECT_EQ(prompts.saveAsked, 0);
    EXPECT_EQ(store.Options().shadowOffsetX, 9);
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
                  auto* text = Get<QPlainTextEdit>(d, "detailsTemplate");
                  // 5 + 84 x 3 bytes = 257, then a 3-byte character that would pass 259.
                  text->setPlainText(QStringLiteral("A\nBC") + QString(86, QChar(0x20AC)));
                  Click(d, "apply");
              }),
              COptionsDlg::kOk);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], "Columns must be a number of at least 1.");
    const SheetOptions saved = FileRecord();
    EXPECT_EQ(saved.jpegQuality, 100);
    EXPECT_EQ(saved.columns, 7);
    EXPECT_EQ(saved.gapWidth, -4);
    EXPECT_EQ(saved.backColor, 0x00F7F2EEu);
    const std::string stored = saved.detailsTemplate;
    EXPECT_EQ(stored.size(), 5u + 84 * 3);
    EXPECT_EQ(stored.substr(0, 8), "A\r\nBC\xE2\x82\xAC");

    Run([](COptionsDlg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Options"));
        Type(d, "jpegQuality", "-5");
        Click(d, "apply");
    });
    EXPECT_EQ(FileRecord().jpegQuality, 0);
}

TEST_F(OptionsDialog, CheckBoxesEnableTheirControls) {
    Run([&](COptionsDlg* d) {
        Click(d, "showDetails");
        for (const char* name : {"detailsPosition", "detailsFont", "detailsTemplate"})
            EXPECT_FALSE(Get<QWidget>(d, name)->isEnabled()) << name;
        EXPECT_TRUE(Get<QWidget>(d, "legend")->isEnabled());
        Click(d, "dropShadow");
        EXPECT_FALSE(Edit(d, "shadowIntensity")->isEnabled());
        Click(d, "showLabels");
        EXPECT_FALSE(Get<QWidget>(d, "labelPosition")->isEnabled());
        EXPECT_TRUE(d->IsModified());
        // Positions are sorted so the index is the position's value.
        EXPECT_EQ(Get<QComboBox>(d, "labelPosition")->itemText(TopRight), QStringLiteral("Top Right"));
        Click(d, "legend");
        prompts.answers = {Prompts::kNo};
        Click(d, "cancel");
    });
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].substr(0, 21), "The folowing strings ");
    EXPECT_EQ(store.Options().showDetails, 1);
}

TEST_F(OptionsDialog, FontChoiceUpdatesCaptionAndTemplateAndIsUndoneByCancel) {
    prompts.font = store.Options().detailsFont;
    std::strcpy(prompts.font.lfFaceName, "DejaVu Serif");
    prompts.font.lfHeight = -20;
    prompts.fontColor = MakeRgb(10, 20, 30);
    const SheetOptions before = store.Options();
    Run([&](COptionsDlg* d) {
        Click(d, "detailsFont");
        EXPECT_EQ(Get<QPushButton>(d, "detailsFont")->text(), QStringLiteral("DejaVu Serif"));
        EXPECT_EQ(Get<QPlainTextEdit>(d, "detailsTemplate")->font().pixelSize(), 20);
        EXPECT_EQ(store.Options().detailsColor, MakeRgb(10, 20, 30));
        // Cancel at the question keeps the chosen font in the record, as shown.
        prompts.answers = {Prompts::kCancel, Prompts::kNo};
        d->close();
        EXPECT_STREQ(store.Options().detailsFont.lfFaceName, "DejaVu Serif");
        d->close();
    });
    EXPECT_TRUE(SameRecord(store.Options(), before));
}

TEST_F(OptionsDialog, SaveFileWritesTheSheetOrSaysWhyNot) {
    std::vector<std::unique_ptr<CDibImage>> owned;
    std::vector<const CDibImage*> frames;
    for (int i = 0; i < 3; ++i) {
        owned.push_back(std::make_unique<CDibImage>());
        ASSERT_TRUE(owned.back()->Create(160, 120));
        owned.back()->Fill(nullptr, MakeRgb(40 * i, 100, 200));
        frames.push_back(owned.back().get());
    }
    const std::vector<const char*> labels = {"00:00:01", "00:00:02", "00:00:03"};
    const MovieDetails details = MakeMovieDetails("/movies/clip.mp4", 123456, 160, 120, 4.0);
    auto save = [](COptionsDlg* d) { Click(d, "apply"); };

    prompts.savePath = dir / "sheet.jpg";
    WhenModalShown<COptionsDlg>(save);
    RunSaveFileCommand(nullptr, frames, labels, details);
    CDibImage expected;
    ASSERT_TRUE(ComposeSheetImage(frames, labels, store.Options(), details, expected));
    CDibImage written;
    ASSERT_TRUE(written.LoadJpeg(prompts.savePath));
    EXPECT_EQ(written.Width(), expected.Width());
    EXPECT_EQ(written.Height(), expected.Height());
    EXPECT_GE(written.Height(), 111 + 2 * 10);  // one row of tiles at least
    EXPECT_TRUE(prompts.messages.empty());

    prompts.savePath = dir / "missing/sheet.jpg";
    WhenModalShown<COptionsDlg>(save);
    RunSaveFileCommand(nullptr, frames, labels, details);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("sheet.jpg"), std::string::npos) << prompts.messages[0];
}
