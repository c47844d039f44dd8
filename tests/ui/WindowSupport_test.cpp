// What every window shares, checked over all of them: a label that shows a
// value is read out with that value.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
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

INSTANTIATE_TEST_SUITE_P(Windows, EveryWindow, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowCase>& p) {
                             return std::string(p.param.name);
                         });

} // namespace
