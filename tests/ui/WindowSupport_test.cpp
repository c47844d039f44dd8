// What every window shares, checked over all of them: a label that shows a
// value is read out with that value, Enter presses the focused button, and
// the frame shows the program's icon and offers maximise only where the
// size can change.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ui/About.h"
#include "ui/DiagRS485.h"
#include "ui/DiagSystem.h"
#include "ui/Hlavni.h"
#include "ui/NastavHlavniLinka.h"
#include "ui/NastavLanParam.h"
#include "ui/NastavModbusTCP.h"
#include "ui/NastavServisniLinka.h"
#include "ui/NastavServisniLinkaUSB.h"
#include "ui/Pripojeni.h"
#include "ui/RestartZarizeni.h"
#include "ui/UiTestSupport.h"
#include "ui/WindowSupport.h"

namespace {

using MakeWindow = std::unique_ptr<QWidget> (*)(PData dat);

template <typename W> std::unique_ptr<QWidget> make(PData dat) {
    auto w = std::make_unique<W>();
    w->Dat = dat;
    return w;
}

struct WindowCase {
    const char* name;
    MakeWindow make;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

const WindowCase kWindows[] = {
    {"Main", [](PData) -> std::unique_ptr<QWidget> { return std::make_unique<TForm1>(); }},
    {"Connection", make<TFormPripojeni>},
    {"LanParameters", make<TFormNastavLanParam>},
    {"ModbusTcp", make<TFormNastavModbusTCP>},
    {"RtuMaster", make<TFormNastavHlavniLinka>},
    {"RtuSlave", make<TFormNastavServisniLinka>},
    {"RtuSlaveUsb", make<TFormNastavServisniLinkaUSB>},
    {"Restart", make<TFormRestart>},
    {"ConverterInformation", make<TFormDiagPrehled>},
    {"RtuMasterDiagnostics", make<TFormDiagRS485>},
    {"About", make<TFormOProgramu>},
};

class EveryWindow : public ::testing::TestWithParam<WindowCase> {
  protected:
    void SetUp() override {
        uitest::resetConverter();
        InitData(&data);
        data.Lang = LANG_EN;
    }
    void TearDown() override { uitest::resetConverter(); }

    uitest::ScratchSettings settings;
    TData data;
};

// A label's accessible name is the text it shows, status lines included; a
// caption tied to such a label stays reachable as its Label relation.
TEST_P(EveryWindow, LabelsAreReadOutWithTheirText) {
    std::unique_ptr<QWidget> w = GetParam().make(&data);
    w->show();
    for (QLabel* label : w->findChildren<QLabel*>()) {
        const QString name = label->objectName();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(a, nullptr) << name.toStdString();
        EXPECT_EQ(a->text(QAccessible::Name), label->text()) << name.toStdString();
        if (auto* shown = qobject_cast<QLabel*>(label->buddy())) {
            QStringList captions;
            for (const auto& [other, relation] :
                 QAccessible::queryAccessibleInterface(shown)->relations(QAccessible::Label)) {
                captions << other->text(QAccessible::Name);
            }
            EXPECT_TRUE(captions.contains(label->text())) << shown->objectName().toStdString();
        }
    }
}

// Enter on a focused button presses that button and no other, in a fresh
// window each time. Without Dat no button talks to a converter.
TEST_P(EveryWindow, EnterPressesTheFocusedButton) {
    QStringList names;
    const std::unique_ptr<QWidget> model = GetParam().make(nullptr);
    for (QPushButton* b : model->findChildren<QPushButton*>()) {
        names << b->objectName();
    }
    for (const QString& name : names) {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QStringList pressed;
            std::unique_ptr<QWidget> w = GetParam().make(nullptr);
            w->show();
            auto* focused = w->findChild<QPushButton*>(name);
            if (!focused->isVisible() || !focused->isEnabled()) {
                continue;
            }
            for (QPushButton* b : w->findChildren<QPushButton*>()) {
                QObject::connect(b, &QPushButton::clicked,
                                 [&pressed, b] { pressed << b->objectName(); });
            }
            focused->setFocus(Qt::TabFocusReason);
            QTest::keyClick(focused, key);
            EXPECT_EQ(pressed, QStringList{name}) << (key == Qt::Key_Return ? "Return" : "Enter");
        }
    }
}

TEST_P(EveryWindow, ProgramIconAndNoMaximiseUnlessResizable) {
    const std::unique_ptr<QWidget> w = GetParam().make(&data);
    w->show();
    ASSERT_TRUE(w->isWindow());
    // The program's icon, drawn from the built-in picture at every size.
    const QIcon icon = w->windowIcon();
    EXPECT_EQ(icon.cacheKey(), QApplication::windowIcon().cacheKey());
    EXPECT_EQ(icon.availableSizes().size(), 8);
    const QImage picture = icon.pixmap(32).toImage();
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(qAlpha(picture.pixel(16, 16)), 0) << "nothing drawn";

    const Qt::WindowFlags flags = w->windowFlags();
    const bool resizable = w->minimumSize() != w->maximumSize();
    EXPECT_EQ(resizable, std::string(GetParam().name) == "Main");
    EXPECT_EQ(flags.testFlag(Qt::WindowMaximizeButtonHint), resizable);
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
}

INSTANTIATE_TEST_SUITE_P(Windows, EveryWindow, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowCase>& p) {
                             return std::string(p.param.name);
                         });

} // namespace
