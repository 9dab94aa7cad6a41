#include <QApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <QFontDialog>

#include "widgets/color_button.h"
#include "widgets/font_color_dialog.h"
#include "widgets/when_modal.h"
#include "widgets/prompts.h"

namespace {

// The button's five signals as one ordered log, "Picked 0xff" and so on.
struct SignalLog {
    std::vector<std::string> events;
    explicit SignalLog(CColorButton& button) {
        auto add = [this](const char* name) {
            return [this, name](uint color) { events.push_back(std::string(name) + " " + std::to_string(color)); };
        };
        QObject::connect(&button, &CColorButton::ColorPicked, add("Picked"));
        QObject::connect(&button, &CColorButton::ColorDropDown, add("DropDown"));
        QObject::connect(&button, &CColorButton::ColorCloseUp, add("CloseUp"));
        QObject::connect(&button, &CColorButton::ColorAccepted, add("Accepted"));
        QObject::connect(&button, &CColorButton::ColorCancelled, add("Cancelled"));
    }
};

std::string Ev(const char* name, COLORREF color) { return std::string(name) + " " + std::to_string(color); }

struct ColorAnswer : Prompts {
    bool answer = false;
    COLORREF chosen = 0;
    int asked = 0;
    bool ChooseColor(QWidget*, COLORREF& color) override {
        ++asked;
        if (answer) color = chosen;
        return answer;
    }
};

class ColorPicker : public ::testing::Test {
protected:
    ColorPicker() {
        Prompts::Install(&prompts);
        host.resize(200, 100);
        button.setGeometry(20, 20, 60, 24);
        host.show();
    }
    ~ColorPicker() override { Prompts::Install(nullptr); }

    CColorPopup* Open(COLORREF color) {
        button.SetColor(color);
        QTest::mouseClick(&button, Qt::LeftButton);
        return button.Popup();
    }
    // Mouse events straight to the popup, as its mouse grab delivers them.
    static void Mouse(CColorPopup* popup, QEvent::Type type, QPoint at) {
        const Qt::MouseButtons held = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, popup->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(popup, &event);
    }
    static void Keys(CColorPopup* popup, std::initializer_list<Qt::Key> keys) {
        for (Qt::Key key : keys) QTest::keyClick(popup, key);
    }

    ColorAnswer prompts;
    QWidget host;
    CColorButton button{&host};
};

}  // namespace

TEST_F(ColorPicker, ChosenItemOfTheStartingColour) {
    CColorPopup* popup = Open(MakeRgb(255, 0, 0));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->ChosenItem(), 16);  // "Red"
    Keys(popup, {Qt::Key_Escape});
    EXPECT_EQ(Open(AUTOMATIC_COLOR)->ChosenItem(), CColorPopup::kAutomatic);
    Keys(button.Popup(), {Qt::Key_Escape});
    // Not in the table: "More Colors..." stands for it.
    EXPECT_EQ(Open(MakeRgb(1, 2, 3))->ChosenItem(), CColorPopup::kCustom);
    // A button destroyed with its popup open takes the popup along quietly.
    auto* other = new CColorButton(&host);
    QTest::mouseClick(other, Qt::LeftButton);
    ASSERT_NE(other->Popup(), nullptr);
    delete other;
}

TEST_F(ColorPicker, KeyTableWalksTheGridAndTheBoxes) {
    CColorPopup* popup = Open(MakeRgb(255, 0, 0));
    auto hoveredAfter = [&](std::initializer_list<Qt::Key> keys) {
        Keys(popup, keys);
        return popup->HoveredItem();
    };
    const int automatic = CColorPopup::kAutomatic;
    const int custom = CColorPopup::kCustom;
    EXPECT_EQ(hoveredAfter({Qt::Key_Down}), custom);  // "none" is row -1, column -1
    EXPECT_EQ(hoveredAfter({Qt::Key_Down}), automatic);
    EXPECT_EQ(hoveredAfter({Qt::Key_Down}), 0);
    EXPECT_EQ(hoveredAfter({Qt::Key_Up}), automatic);
    EXPECT_EQ(hoveredAfter({Qt::Key_Up}), custom);
    EXPECT_EQ(hoveredAfter({Qt::Key_Up}), 39);
    EXPECT_EQ(hoveredAfter({Qt::Key_Down}), custom);
    EXPECT_EQ(hoveredAfter({Qt::Key_Left}), 39);
    EXPECT_EQ(hoveredAfter({Qt::Key_Right}), custom);
    EXPECT_EQ(hoveredAfter({Qt::Key_Right, Qt::Key_Right}), 0);
    EXPECT_EQ(hoveredAfter({Qt::Key_Left}), automatic);
    EXPECT_EQ(hoveredAfter({Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
                            Qt::Key_Right, Qt::Key_Right, Qt::Key_Right}),
              7);
    EXPECT_EQ(hoveredAfter({Qt::Key_Right}), 8);  // a row's end leads to the next row
    EXPECT_EQ(hoveredAfter({Qt::Key_Left}), 7);
    EXPECT_EQ(hoveredAfter({Qt::Key_Right, Qt::Key_Down}), 16);
    EXPECT_EQ(hoveredAfter({Qt::Key_Up}), 8);
    EXPECT_EQ(hoveredAfter({Qt::Key_Tab}), 8);  // other keys move nothing
}

TEST_F(ColorPicker, AcceptAndCancelReachTheParentInOrder) {
    SignalLog log(button);
    const COLORREF red = MakeRgb(255, 0, 0);
    CColorPopup* popup = Open(red);
    Keys(popup, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});  // More, Automatic, Black
    EXPECT_EQ(log.events, (std::vector<std::string>{Ev("DropDown", red), Ev("Picked", red),
                                                    Ev("Picked", AUTOMATIC_COLOR),
                                                    Ev("Picked", 0), Ev("CloseUp", 0), Ev("Accepted", 0),
                                                    Ev("Picked", 0)}));
    EXPECT_EQ(button.GetColor(), 0u);
    EXPECT_FALSE(button.IsPopupOpen());

    // The same colour accepted again: no ColorPicked from the button.
    log.events.clear();
    popup = Open(0);
    Mouse(popup, QEvent::MouseMove, popup->ItemRect(0).center());
    Mouse(popup, QEvent::MouseButtonRelease, popup->ItemRect(0).center());
    EXPECT_EQ(log.events, (std::vector<std::string>{Ev("DropDown", 0), Ev("Picked", 0), Ev("CloseUp", 0),
                                                    Ev("Accepted", 0)}));

    // Hovering reports, releasing outside cancels back to the starting colour.
    log.events.clear();
    popup = Open(red);
    Mouse(popup, QEvent::MouseMove, popup->ItemRect(13).center());
    Mouse(popup, QEvent::MouseMove, QPoint(-5, -5));  // a miss keeps the hovered item
    Mouse(popup, QEvent::MouseButtonPress, QPoint(-5, -5));
    Mouse(popup, QEvent::MouseButtonRelease, QPoint(-5, -5));
    EXPECT_EQ(log.events, (std::vector<std::string>{Ev("DropDown", red), Ev("Picked", MakeRgb(0, 0, 255)),
                                                    Ev("CloseUp", red), Ev("Cancelled", red)}));
    EXPECT_EQ(button.GetColor(), red);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(button.Popup(), nullptr);  // the popup deleted itself
}

TEST_F(ColorPicker, MoreColorsUsesTheColourDialogAndItsCancelCancels) {
    SignalLog log(button);
    prompts.answer = true;
    prompts.chosen = MakeRgb(1, 2, 3);
    Keys(Open(MakeRgb(255, 0, 0)), {Qt::Key_Up, Qt::Key_Up, Qt::Key_Space});  // Automatic, More Colors...
    EXPECT_EQ(prompts.asked, 1);
    EXPECT_EQ(button.GetColor(), MakeRgb(1, 2, 3));
    EXPECT_EQ(log.events.back(), Ev("Picked", MakeRgb(1, 2, 3)));

    prompts.answer = false;
    log.events.clear();
    Keys(Open(MakeRgb(1, 2, 3)), {Qt::Key_Up, Qt::Key_Up, Qt::Key_Return});
    EXPECT_EQ(log.events.back(), Ev("Cancelled", MakeRgb(1, 2, 3)));
    EXPECT_EQ(button.GetColor(), MakeRgb(1, 2, 3));
}

TEST_F(ColorPicker, StaysOnScreen) {
    const QRect screen(0, 0, 800, 600);
    const QSize size(150, 160);
    // Near the bottom: directly above the 24-pixel button it hangs from.
    EXPECT_EQ(CColorPopup::FitOnScreen(QRect(QPoint(100, 500), size), screen, 24), QPoint(100, 500 - 160 - 24));
    EXPECT_EQ(CColorPopup::FitOnScreen(QRect(QPoint(700, 100), size), screen, 24), QPoint(650, 100));
    EXPECT_EQ(CColorPopup::FitOnScreen(QRect(QPoint(-30, 100), size), screen, 24), QPoint(0, 100));

    // A real button at the bottom of the screen opens its popup above itself.
    const QRect available = host.screen()->geometry();
    host.move(available.left() + 10, available.bottom() - 60);
    QApplication::processEvents();
    CColorPopup* popup = Open(0);
    EXPECT_LE(popup->geometry().bottom(), button.mapToGlobal(QPoint(0, 0)).y());
    EXPECT_EQ(popup->geometry().bottom() + 1, button.mapToGlobal(QPoint(0, 0)).y());
    Keys(popup, {Qt::Key_Escape});
}

// The real font-and-colour chooser behind Prompts: one step, whole record.
TEST(FontColorDialog, FillsTheWholeRecordOrNothing) {
    LOGFONTA font{};
    font.lfHeight = -11;
    font.lfWeight = 700;
    font.lfEscapement = 900;
    std::strcpy(font.lfFaceName, "Liberation Sans");
    COLORREF color = MakeRgb(255, 0, 0);
    WhenModalShown<CFontColorDlg>([](CFontColorDlg* d) {
        EXPECT_EQ(d->FontChooser()->currentFont().family(), QStringLiteral("Liberation Sans"));
        QFont chosen(QStringLiteral("DejaVu Serif"));
        chosen.setPointSize(15);
        chosen.setItalic(true);
        chosen.setUnderline(true);
        d->FontChooser()->setCurrentFont(chosen);
        d->ColorChooser()->SetColor(MakeRgb(0, 0, 255));
        d->accept();
    });
    ASSERT_TRUE(Prompts::Current().ChooseFont(nullptr, font, color));
    const int dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_EQ(font.lfHeight, -int(std::lround(15.0 * dpi / 72)));
    EXPECT_EQ(font.lfWeight, 400);
    EXPECT_EQ(font.lfEscapement, 0);
    EXPECT_EQ(font.lfItalic, 1);
    EXPECT_EQ(font.lfUnderline, 1);
    EXPECT_EQ(font.lfStrikeOut, 0);
    EXPECT_STREQ(font.lfFaceName, "DejaVu Serif");
    EXPECT_EQ(color, MakeRgb(0, 0, 255));

    const LOGFONTA kept = font;
    WhenModalShown<CFontColorDlg>([](CFontColorDlg* d) {
        d->ColorChooser()->SetColor(MakeRgb(1, 1, 1));
        d->reject();
    });
    EXPECT_FALSE(Prompts::Current().ChooseFont(nullptr, font, color));
    EXPECT_EQ(std::memcmp(&font, &kept, sizeof font), 0);
    EXPECT_EQ(color, MakeRgb(0, 0, 255));

    // Confirmed unchanged, a face that is not installed keeps its name, size and weight.
    LOGFONTA absent{};
    absent.lfHeight = -11;
    absent.lfWeight = 700;
    std::strcpy(absent.lfFaceName, "Arial");
    WhenModalShown<CFontColorDlg>([](CFontColorDlg* d) { d->accept(); });
    ASSERT_TRUE(Prompts::Current().ChooseFont(nullptr, absent, color));
    EXPECT_STREQ(absent.lfFaceName, "Arial");
    EXPECT_EQ(absent.lfHeight, -11);
    EXPECT_EQ(absent.lfWeight, 700);
}
