#include "WindowFixture.h"

#include "Charset.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace quellix {

namespace {

class Editing : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Start();
    }
    // Puts the block into the window as a reply or a file would.
    void Show(const ConfigBlock& block) {
        form->Block = block;
        form->BlockToWindow(form->Block);
    }
    QStringList AllLabelTexts() const {
        QStringList texts;
        for (const QLabel* label : form->findChildren<QLabel*>())
            texts << label->objectName() + "=" + label->text();
        return texts;
    }
    std::uint8_t Flags(int n) const { return form->Block.ChannelFlags[n - 1]; }
    const ChannelCalibration& Cal(int n) const { return form->Block.Calibration[n - 1]; }
};

TEST_F(Editing, DialogOpensAtThePointerWithTheTextAsShownAndItsStartSelected) {
    const char* labels[] = {"Tag_1",    "Units_2",     "Header_1", "Header_2",
                            "Calib1_1", "Measured2_3", "Calib2_4"};
    const QPoint pointer(310, 220);
    QCursor::setPos(pointer);
    for (const char* name : labels) {
        SCOPED_TRACE(name);
        const QString shown = Text(name);
        EditLabel(name, [&](TForm2& dialog) {
            EXPECT_EQ(dialog.pos(), pointer);
            EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
            EXPECT_EQ(dialog.Edit2->text(), shown);
            EXPECT_EQ(dialog.Edit2->selectionStart(), 0);
            EXPECT_EQ(dialog.Edit2->selectedText(), shown.left(20));
            EXPECT_EQ(dialog.focusWidget(), dialog.Edit2);
            QTest::keyClick(dialog.Edit2, Qt::Key_Escape);
        });
    }
}

TEST_F(Editing, EscChangesNothing) {
    const QByteArray before = Image(form->Block);
    const QStringList texts = AllLabelTexts();
    EditLabel("Units_1", [](TForm2& dialog) {
        QTest::keyClicks(dialog.Edit2, "volts");
        QTest::keyClick(dialog.Edit2, Qt::Key_Escape);
    });
    EditLabel("Tag_3", [](TForm2& dialog) {
        QTest::keyClicks(dialog.Edit2, "Pump");
        QTest::mouseClick(dialog.BitBtn1, Qt::LeftButton);
    });
    EXPECT_EQ(Image(form->Block), before);
    EXPECT_EQ(AllLabelTexts(), texts);
}

TEST_F(Editing, TextsAreCutToTheirFields) {
    const struct {
        const char* label;
        const char* typed;
        const char* shown;
    } cases[] = {
        {"Tag_2", "ABCDEFGHIJKLMNOPQRSTUVWXY", "ABCDEFGHIJKLMNOPQRST"},
        {"Units_1", "millivolts!", "millivolts"},
        {"Units_4", "kPa", "kPa"},
        {"Header_1", "Line one of the header, long", "Line one of the head"},
        {"Header_2", "<b>not bold</b>", "<b>not bold</b>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TypeIntoLabel(c.label, c.typed);
        EXPECT_EQ(Text(c.label), c.shown);
        EXPECT_EQ(Find<QLabel>(c.label)->textFormat(), Qt::PlainText);
    }
    EXPECT_EQ(ShortStringToText(form->Block.TagName[1]), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(ShortStringToText(form->Block.UnitName[0]), "millivolts");
    EXPECT_EQ(ShortStringToText(form->Block.Header1), "Line one of the head");
    EXPECT_EQ(ShortStringToText(form->Block.Header2), "<b>not bold</b>");
}

TEST_F(Editing, TypingReplacesOnlyTheFirst20Characters) {
    Find<QLabel>("Tag_1")->setText("ABCDEFGHIJKLMNOPQRSTUVWXY");
    EditLabel("Tag_1", [](TForm2& dialog) {
        EXPECT_EQ(dialog.Edit2->selectedText(), "ABCDEFGHIJKLMNOPQRST");
        QTest::keyClicks(dialog.Edit2, "z");
        EXPECT_EQ(dialog.Edit2->text(), "zUVWXY");
        QTest::keyClick(dialog.Edit2, Qt::Key_Enter);
    });
    EXPECT_EQ(Text("Tag_1"), "zUVWXY");
}

TEST_F(Editing, NumbersAreReadBackWithTheChannelsDecimals) {
    const struct {
        const char* label;
        const char* typed;
        std::int16_t ChannelCalibration::*field;
        int channel;
        std::int16_t stored;
        const char* shown;
    } cases[] = {
        {"Calib2_1", "2.54", &ChannelCalibration::Calib2, 1, 25, "       2.5"},
        {"Calib2_1", "1,5", &ChannelCalibration::Calib2, 1, NoValue, "---"},
        {"Calib1_1", "12.345", &ChannelCalibration::Calib1, 1, 123, "     12.3"},
        {"Calib1_1", "abc", &ChannelCalibration::Calib1, 1, NoValue, "---"},
        {"Calib1_2", "-0.05", &ChannelCalibration::Calib1, 2, -5, "    -0.05"},
        {"Calib2_3", "40", &ChannelCalibration::Calib2, 3, 32767, " 32.767"},
        {"Measured1_1", "12.7", &ChannelCalibration::Measured1, 1, 13, "        13"},
        {"Measured2_2", "  517", &ChannelCalibration::Measured2, 2, 517, "      517"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.label) + " " + c.typed);
        TypeIntoLabel(c.label, c.typed);
        EXPECT_EQ(Cal(c.channel).*c.field, c.stored);
        EXPECT_EQ(Text(c.label), c.shown);
    }
}

TEST_F(Editing, EnterWithoutTypingRereadsAndReformatsEveryLabel) {
    ConfigBlock block = form->Block;
    block.ChannelFlags[0] = 0x83;
    block.ChannelFlags[2] = 0x44;
    block.MeasuredValue[1] = 1234;
    Show(block);
    Find<QLabel>("Measured1_2")->setText("12.7");
    Find<QLabel>("Calib2_4")->setText("+7");
    EditLabel("Calib1_1", [](TForm2& dialog) { QTest::keyClick(dialog.Edit2, Qt::Key_Return); });
    EXPECT_EQ(Flags(1), 0x03);
    EXPECT_EQ(Flags(3), 0x40);
    EXPECT_EQ(Cal(2).Measured1, 13);
    EXPECT_EQ(Text("Measured1_2"), "        13");
    EXPECT_EQ(Cal(4).Calib2, 7);
    EXPECT_EQ(Text("Calib2_4"), "          7");
    EXPECT_EQ(form->Block.MeasuredValue[1], 1234);
    EXPECT_EQ(Text("MeasuredValue_2"), "   12.34");
}

TEST_F(Editing, EditsKeepTheValuesOfADisabledChannel) {
    ConfigBlock block = form->Block;
    block.ChannelFlags[1] = 0x42;
    block.Calibration[1] = {100, 555, 1000, 777};
    block.MeasuredValue[1] = 1234;
    Show(block);
    ASSERT_EQ(Text("Calib1_2"), "  ");
    TypeIntoLabel("Tag_1", "Flow");
    EXPECT_EQ(Flags(2), 0x42);
    EXPECT_EQ(Cal(2).Calib1, 555);
    EXPECT_EQ(Cal(2).Calib2, 777);
    EXPECT_EQ(form->Block.MeasuredValue[1], 1234);
    EXPECT_EQ(Text("Calib1_2"), "  ");

    Click("Disable_2");
    EXPECT_EQ(Flags(2), 0x02);
    EXPECT_EQ(Text("Calib1_2"), "     5.55");
    EXPECT_EQ(Text("Calib2_2"), "     7.77");
    EXPECT_EQ(Text("MeasuredValue_2"), "   12.34");

    // A number typed over the blanks is a real edit.
    Click("Disable_2");
    TypeIntoLabel("Calib1_2", "2.5");
    EXPECT_EQ(Cal(2).Calib1, 250);
    EXPECT_EQ(Text("Calib1_2"), "  ");
}

TEST_F(Editing, DecimalStepsRebuildTheFlagsAndReformat) {
    form->Block.Calibration[0].Calib1 = 1000;
    form->BlockToWindow(form->Block);
    ASSERT_EQ(Text("Calib1_1"), "   100.0");
    QTest::keyClick(Find<QSpinBox>("Decimal_1"), Qt::Key_Up);
    EXPECT_EQ(Flags(1), 2);
    EXPECT_EQ(Text("Calib1_1"), "   10.00");
    EXPECT_EQ(Cal(1).Calib1, 1000);
    QTest::keyClick(Find<QSpinBox>("Decimal_1"), Qt::Key_Down);
    QTest::keyClick(Find<QSpinBox>("Decimal_1"), Qt::Key_Down);
    EXPECT_EQ(Flags(1), 0);
    EXPECT_EQ(Text("Calib1_1"), "    1000");
}

TEST_F(Editing, DecimalFourStoresTheByteFourAndShowsNoDecimals) {
    auto* decimal = Find<QSpinBox>("Decimal_3");
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(decimal, Qt::Key_Up);
    EXPECT_EQ(decimal->value(), 4);
    EXPECT_EQ(Flags(3), 4);
    EXPECT_EQ(Text("Calib2_3"), "    1000");
    QTest::keyClick(decimal, Qt::Key_Up);
    EXPECT_EQ(Flags(3), 4);
    form->BlockToWindow(form->Block);
    EXPECT_EQ(decimal->value(), 0);
    EXPECT_EQ(Flags(3), 4);
}

TEST_F(Editing, TypedDecimalsNeverLeaveZeroToFour) {
    auto* decimal = Find<QSpinBox>("Decimal_2");
    for (const char* typed : {"9", "-1", "44", "x", "3"}) {
        SCOPED_TRACE(typed);
        decimal->selectAll();
        QTest::keyClicks(decimal, typed);
        for (int n = 1; n <= 4; ++n)
            EXPECT_LE(Flags(n) & 0x3F, 4);
    }
    EXPECT_EQ(Flags(2), 3);
}

TEST_F(Editing, DisableBlanksTheDisplayedValuesAndUntickingRestoresThem) {
    form->Block.MeasuredValue[1] = 1234;
    form->BlockToWindow(form->Block);
    Click("Disable_2");
    EXPECT_EQ(Flags(2), 2 + 64);
    for (const char* name : {"MeasuredValue_2", "Calib1_2", "Calib2_2"})
        EXPECT_EQ(Text(name), "  ") << name;
    EXPECT_EQ(Text("Measured1_2"), "      100");
    Click("Disable_2");
    EXPECT_EQ(Flags(2), 2);
    EXPECT_EQ(Text("MeasuredValue_2"), "   12.34");
    EXPECT_EQ(Text("Calib1_2"), "     1.00");
}

TEST_F(Editing, AnyDecimalOrDisableChangeRewritesAllFourFlags) {
    ConfigBlock block = form->Block;
    block.ChannelFlags[0] = 0x83;
    block.ChannelFlags[1] = 0x42;
    Show(block);
    // Filling the controls changed them, but stays silent.
    EXPECT_EQ(Flags(1), 0x83);
    EXPECT_EQ(Flags(2), 0x42);
    EXPECT_TRUE(Checked("Disable_2"));
    EXPECT_EQ(Find<QSpinBox>("Decimal_2")->value(), 2);

    Click("Disable_4");
    EXPECT_EQ(Flags(1), 0x03);
    EXPECT_EQ(Flags(2), 0x42);
    EXPECT_EQ(Flags(4), 0x40);
}

TEST_F(Editing, SetButtonsCaptureTheRawReading) {
    for (int n = 1; n <= 4; ++n) {
        for (int point = 1; point <= 2; ++point) {
            SCOPED_TRACE(QString("Set_%1_%2").arg(point).arg(n).toStdString());
            form->Block = Defaults();
            form->Block.RawValue[n - 1] = static_cast<std::int16_t>(500 + 10 * n + point);
            Click(QString("Set_%1_%2").arg(point).arg(n));
            for (int m = 1; m <= 4; ++m) {
                const bool here = m == n;
                EXPECT_EQ(Cal(m).Measured1, here && point == 1 ? 500 + 10 * n + 1 : 100);
                EXPECT_EQ(Cal(m).Measured2, here && point == 2 ? 500 + 10 * n + 2 : 1000);
            }
        }
    }
    form->Block.RawValue[2] = 517;
    Click("Set_2_3");
    EXPECT_EQ(Text("Measured2_3"), "      517");
    EXPECT_EQ(Text("Raw_3"), "      517");
    form->Block.RawValue[2] = NoValue;
    Click("Set_1_3");
    EXPECT_EQ(Cal(3).Measured1, NoValue);
    EXPECT_EQ(Text("Measured1_3"), "---");
}

TEST_F(Editing, SetDefaultsRestoresTheDefaultValues) {
    TypeIntoLabel("Header_1", "Changed");
    Click("Disable_1");
    form->Block.RawValue[0] = 42;
    Trigger("SetDefaults1");
    EXPECT_EQ(Image(form->Block), Image(Defaults()));
    EXPECT_EQ(Text("Header_1"), "Header Data");
    EXPECT_FALSE(Checked("Disable_1"));
    EXPECT_EQ(Text("Raw_1"), "---");
    EXPECT_EQ(Text("Calib1_1"), "     10.0");
    EXPECT_TRUE(user->messages.isEmpty());
}

} // namespace

} // namespace quellix
