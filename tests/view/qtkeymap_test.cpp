#include "editor/stepeditor.h"
#include "view/qtkeymap.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Key events need Qt's keyboard device, which belongs to the application object.
class GuiApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app.reset(); }

private:
    int argc = 1;
    char name[16] = "editor_qt_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QGuiApplication> app;
};

const auto* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

} // namespace

TEST(QtKeyMap, BindableAndFunctionKeysMapToVirtualKeys) {
    const std::pair<int, int> keys[] = {
        {Qt::Key_Home, vk::Home},
        {Qt::Key_PageUp, vk::Prior},
        {Qt::Key_PageDown, vk::Next},
        {Qt::Key_Left, vk::Left},
        {Qt::Key_Insert, vk::Insert},
        {Qt::Key_Return, vk::Return},
        {Qt::Key_Enter, vk::Return},
        {Qt::Key_Escape, vk::Escape},
        {Qt::Key_Tab, vk::Tab},
        {Qt::Key_Backtab, vk::Tab},
        {Qt::Key_F1, 0x70},
        {Qt::Key_F24, 0x87},
        {Qt::Key_F25, 0},
        {Qt::Key_A, 0},
        {Qt::Key_Backspace, 0},
    };
    for (const auto& [qtKey, virtualKey] : keys)
        EXPECT_EQ(VirtualKeyFromQtKey(qtKey), virtualKey) << std::hex << qtKey;
}

TEST(QtKeyMap, ModifiersFromEvent) {
    const QKeyEvent event(QEvent::KeyPress, Qt::Key_Up, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_TRUE(IsModifierHeld(event.modifiers(), vk::Shift));
    EXPECT_FALSE(IsModifierHeld(event.modifiers(), vk::Control));
    EXPECT_TRUE(IsModifierHeld(event.modifiers(), vk::Menu));
    EXPECT_TRUE(IsModifierHeld(Qt::ControlModifier, vk::Control));
    EXPECT_FALSE(IsModifierHeld(Qt::ControlModifier, vk::Up));
}

TEST(QtKeyMap, FrameAcceleratorsMatchExactly) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool accelerator;
    };
    const Case cases[] = {
        {Qt::Key_N, Qt::ControlModifier, true},
        {Qt::Key_O, Qt::ControlModifier, true},
        {Qt::Key_S, Qt::ControlModifier, true},
        {Qt::Key_P, Qt::ControlModifier, true},
        {Qt::Key_Z, Qt::ControlModifier, true},
        {Qt::Key_X, Qt::ControlModifier, true},
        {Qt::Key_C, Qt::ControlModifier, true},
        {Qt::Key_V, Qt::ControlModifier, true},
        {Qt::Key_Y, Qt::ControlModifier, true},
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, true},
        {Qt::Key_Y, Qt::ControlModifier | Qt::ShiftModifier, false},
        {Qt::Key_Backspace, Qt::AltModifier, true},
        {Qt::Key_Delete, Qt::ShiftModifier, true},
        {Qt::Key_Delete, Qt::ShiftModifier | Qt::KeypadModifier, true},
        {Qt::Key_Insert, Qt::ControlModifier, true},
        {Qt::Key_Insert, Qt::ShiftModifier, true},
        {Qt::Key_N, Qt::NoModifier, false},
        {Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier, false},
        {Qt::Key_Delete, Qt::NoModifier, false},
        {Qt::Key_Insert, Qt::NoModifier, false},
        {Qt::Key_Backspace, Qt::NoModifier, false},
        {Qt::Key_Up, Qt::ControlModifier, false},
        {Qt::Key_A, Qt::ControlModifier, false},
        {Qt::Key_Insert, Qt::ShiftModifier | Qt::ControlModifier, false},
    };
    for (const Case& c : cases) {
        const QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers);
        EXPECT_EQ(IsFrameAccelerator(event), c.accelerator)
            << std::hex << c.key << " modifiers " << c.modifiers.toInt();
    }
}

TEST(QtKeyMap, CharactersForOnChar) {
    using List = QList<unsigned int>;
    EXPECT_EQ(EditorCharacters(
                  QKeyEvent(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, QStringLiteral("c"))),
              List{'c'});
    EXPECT_EQ(EditorCharacters(QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier)),
              List{13});
    EXPECT_EQ(EditorCharacters(QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier,
                                         QStringLiteral("\x1b"))),
              List{27});
    EXPECT_EQ(EditorCharacters(QKeyEvent(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier)),
              List{8});
    EXPECT_EQ(EditorCharacters(QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier)), List{9});
    EXPECT_EQ(EditorCharacters(QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier,
                                         QString::fromUtf8("あ\xF0\x9F\x8E\xB5"))),
              (List{0x3042, 0x1F3B5}));
    EXPECT_TRUE(
        EditorCharacters(QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier)).isEmpty());
}
