#include <QApplication>
#include <QFontDialog>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "widgets/color_button.h"
#include "widgets/font_color_dialog.h"
#include "widgets/prompts.h"
#include "widgets/when_modal.h"

namespace {

std::string Ev(const char* name, COLORREF color) { return std::string(name) + " " + std::to_string(color); }

class ColorPicker : public ::testing::Test, public Prompts {
protected:
    ColorPicker() {
        Prompts::Install(this);
        host.resize(200, 100);
        button.setGeometry(20, 20, 60, 24);
        host.show();
        // The button's five signals as one ordered log.
        auto add = [this](const char* name) { return [this, name](uint c) { log.push_back(Ev(name, c)); }; };
        QObject::connect(&button, &CColorButton::ColorPicked, add("Picked"));
        QObject::connect(&button, &CColorButton::ColorDropDown, add("DropDown"));
        QObject::connect(&button, &CColorButton::ColorCloseUp, add("CloseUp"));
        QObject::connect(&button, &CColorButton::ColorAccepted, add("Accepted"));
        QObject::connect(&button, &CColorButton::ColorCancelled, add("Cancelled"));
    }
    ~ColorPicker() override { Prompts::Install(nullptr); }

    // "More Colors..." answers with `dialogColor`, or cancels when it is 0.
    bool ChooseColor(QWidget*, COLORREF& color) override {
        if (dialogColor) color = dialogColor;
        return dialogColor != 0;
    }
    CColorPopup* Open(COLORREF color) {
        button.SetColor(color);
        QTest::mouseClick(&button, Qt::LeftButton);
        log.clear();
        return button.Popup();
    }
    // Mouse events straight to the popup, as its mouse grab delivers them.
    static void Mouse(CColorPopup* popup, QEvent::Type type, QPoint at) {
        QMouseEvent event(type, at, popup->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(popup, &event);
    }
    static void Keys(CColorPopup* popup, std::initializer_list<Qt::Key> keys) {
        for (Qt::Key key : keys) QTest::keyClick(popup, key);
    }

    COLORREF dialogColor = 0;
    std::vector<std::string> log;
    QWidget host;
    CColorButton button{&host};
};

const COLORREF kRed = MakeRgb(255, 0, 0);

}  // namespace

TEST_F(ColorPicker, ChosenItemAndKeyTable) {
    EXPECT_EQ(Open(AUTOMATIC_COLOR)->ChosenItem(), CColorPopup::kAutomatic);
    Keys(button.Popup(), {Qt::Key_Escape});
    // Not in the table: "More Colors..." stands for it.
    EXPECT_EQ(Open(MakeRgb(1, 2, 3))->ChosenItem(), CColorPopup::kCustom);
    Keys(button.Popup(), {Qt::Key_Escape});
    CColorPopup* popup = Open(kRed);
    EXPECT_EQ(popup->ChosenItem(), 16);
    const int a = CColorPopup::kAutomatic, m = CColorPopup::kCustom;
    // From "none" (row -1, column -1) around the grid and its two boxes.
    const std::pair<Qt::Key, int> walk[] = {
        {Qt::Key_Down, m},   {Qt::Key_Down, a},   {Qt::Key_Down, 0},   {Qt::Key_Left, a},   {Qt::Key_Up, m},
        {Qt::Key_Up, 39},    {Qt::Key_Down, m},   {Qt::Key_Left, 39},  {Qt::Key_Right, m},  {Qt::Key_Right, a},
        {Qt::Key_Right, 0},  {Qt::Key_Up, a},     {Qt::Key_Left, m},   {Qt::Key_Left, 39},  {Qt::Key_Up, 31},
        {Qt::Key_Right, 32}, {Qt::Key_Left, 31},  {Qt::Key_Tab, 31}};
    for (size_t i = 0; i < std::size(walk); ++i) {
        QTest::keyClick(popup, walk[i].first);
        EXPECT_EQ(popup->HoveredItem(), walk[i].second) << "step " << i;
    }
}

TEST_F(ColorPicker, AcceptAndCancelReachTheParentInOrder) {
    Keys(Open(kRed), {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});  // More, Automatic, Black
    EXPECT_EQ(log, (std::vector<std::string>{Ev("Picked", kRed), Ev("Picked", AUTOMATIC_COLOR), Ev("Picked", 0),
                                             Ev("CloseUp", 0), Ev("Accepted", 0), Ev("Picked", 0)}));
    EXPECT_FALSE(button.IsPopupOpen());

    // The same colour accepted again: no ColorPicked from the button.
    CColorPopup* popup = Open(0);
    Mouse(popup, QEvent::MouseMove, popup->ItemRect(0).center());
    Mouse(popup, QEvent::MouseButtonRelease, popup->ItemRect(0).center());
    EXPECT_EQ(log, (std::vector<std::string>{Ev("Picked", 0), Ev("CloseUp", 0), Ev("Accepted", 0)}));

    // Hovering reports; releasing outside cancels back to the starting colour.
    popup = Open(kRed);
    Mouse(popup, QEvent::MouseMove, popup->ItemRect(13).center());
    Mouse(popup, QEvent::MouseMove, QPoint(-5, -5));  // a miss keeps the hovered item
    Mouse(popup, QEvent::MouseButtonPress, QPoint(-5, -5));
    Mouse(popup, QEvent::MouseButtonRelease, QPoint(-5, -5));
    EXPECT_EQ(log, (std::vector<std::string>{Ev("Picked", MakeRgb(0, 0, 255)), Ev("CloseUp", kRed),
                                             Ev("Cancelled", kRed)}));
    EXPECT_EQ(button.GetColor(), kRed);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(button.Popup(), nullptr);  // the popup deleted itself

    // "More Colors..." asks the colour dialog; its Cancel cancels.
    dialogColor = MakeRgb(1, 2, 3);
    Keys(Open(kRed), {Qt::Key_Up, Qt::Key_Up, Qt::Key_Space});  // Automatic, More Colors...
    EXPECT_EQ(button.GetColor(), MakeRgb(1, 2, 3));
    dialogColor = 0;
    Keys(Open(kRed), {Qt::Key_Up, Qt::Key_Up, Qt::Key_Return});
    EXPECT_EQ(log.back(), Ev("Cancelled", kRed));
}

TEST_F(ColorPicker, StaysOnScreen) {
    const QRect screen(0, 0, 800, 600);
    const QSize size(150, 160);
    // Near the bottom: directly above the 24-pixel button it hangs from.
    EXPECT_EQ(CColorPopup::FitOnScreen(QRect(QPoint(100, 500), size), screen, 24), QPoint(100, 500 - 160 - 24));
    EXPECT_EQ(CColorPopup::FitOnScreen(QRect(QPoint(700, 100), size), screen, 24), QPoint(650, 100));
    EXPECT_EQ(CColorPopup::FitOnScreen(QRect(QPoint(-30, 100), size), screen, 24), QPoint(0, 100));

    // A real button at the bottom of the screen opens its popup right above itself.
    host.move(host.screen()->geometry().left() + 10, host.screen()->geometry().bottom() - 60);
    QApplication::processEvents();
    EXPECT_EQ(Open(0)->geometry().bottom() + 1, button.mapToGlobal(QPoint(0, 0)).y());
}

// The real font-and-colour chooser behind Prompts: one step, the whole record.
TEST(FontColorDialog, FillsTheWholeRecordOrNothing) {
    LOGFONTA font{-11, 0, 900, 0, 700, 0, 0, 0, 0, 3, 2, 1, 0x22, "Liberation Sans"};
    COLORREF color = kRed;
    WhenModalShown<CFontColorDlg>([](CFontColorDlg* d) {
        QFont chosen(QStringLiteral("Liberation Serif"), 15);
        chosen.setItalic(true);
        chosen.setUnderline(true);
        d->FontChooser()->setCurrentFont(chosen);
        d->ColorChooser()->SetColor(MakeRgb(0, 0, 255));
        d->accept();
    });
    ASSERT_TRUE(Prompts::Current().ChooseFont(nullptr, font, color));
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    const LOGFONTA expected{-int(std::lround(15 * dpi / 72)), 0, 0, 0, 400, 1, 1, 0, 0, 3, 2, 1, 0x22,
                            "Liberation Serif"};
    EXPECT_EQ(std::memcmp(&font, &expected, sizeof font), 0) << font.lfHeight << " " << int(font.lfPitchAndFamily);
    EXPECT_EQ(color, MakeRgb(0, 0, 255));

    WhenModalShown<CFontColorDlg>([](CFontColorDlg* d) { d->reject(); });
    EXPECT_FALSE(Prompts::Current().ChooseFont(nullptr, font, color));
    EXPECT_EQ(std::memcmp(&font, &expected, sizeof font), 0);

    // Confirmed unchanged, a face that is not installed keeps its name, size and weight.
    LOGFONTA absent{-11, 0, 0, 0, 700, 0, 0, 0, 0, 3, 2, 1, 0x22, "Arial"};
    WhenModalShown<CFontColorDlg>([](CFontColorDlg* d) { d->accept(); });
    ASSERT_TRUE(Prompts::Current().ChooseFont(nullptr, absent, color));
    EXPECT_STREQ(absent.lfFaceName, "Arial");
    EXPECT_EQ(absent.lfHeight, -11);
    EXPECT_EQ(absent.lfWeight, 700);
}
