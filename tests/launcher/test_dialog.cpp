/*
 * test_dialog.cpp -- the main dialog: first start defaults, the settings
 * file, the mode list, the level list from description and level files,
 * the highscore columns of both pages, captions that fit in every
 * language, pictures without their key colour and the mouse slider.
 */
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QTabWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>

#include "gk_support.h"
#include "l_local.h"
#include "l_testapp.h"

class Dialog : public ::testing::Test {
protected:
    gk::TempDir d;
    char old[4096];
    void SetUp() override
    {
        L_TestApp();
        ASSERT_TRUE(getcwd(old, sizeof(old)));
        ASSERT_EQ(chdir(d.path.c_str()), 0);
        gk::MakeDirs(d / "data");
        Lang_LoadFile(gk::DistDir() + "/data/textres_49.ini", 49);
        LanguageCountry = 49;
        HS_Fill(&LocalTable, Lang(205), 0);
        HS_Fill(&InternetTable, Lang(205), 0);
        std::string v;
        L_ParseModes("1.05\n640 480 16\n800 600 32\n640 480 16\n", &v, &ModeList);
        EngineVersion = v;
        DoneMask = 0;
    }
    void TearDown() override
    {
        L_DestroyWindows();
        ASSERT_EQ(chdir(old), 0);
    }
};

TEST_F(Dialog, FirstStartDefaults)
{
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    EXPECT_EQ(mf.resBox->count(), 2);      /* the duplicate mode is one item */
    EXPECT_EQ(mf.resBox->itemText(0), "640x480, 16 Bit Farbtiefe");
    EXPECT_EQ(mf.resBox->currentIndex(), 0);
    EXPECT_FALSE(mf.img16->isHidden());
    EXPECT_TRUE(mf.img32->isHidden());
    EXPECT_TRUE(mf.radioWindowed->isChecked());
    EXPECT_FALSE(mf.radioFullscreen->isChecked());
    EXPECT_EQ(mf.trackMouse->value(), 5);
    EXPECT_FALSE(mf.checkMouse->isChecked());
    EXPECT_EQ(mf.comboMaps->currentIndex(), 0);
    EXPECT_EQ(mf.comboMaps->count(), 5);
    EXPECT_FALSE(mf.checkProxy->isChecked());
    EXPECT_FALSE(mf.editProxy->isEnabled());
    EXPECT_EQ(mf.editPort->text(), "8080");
    EXPECT_EQ(mf.editName->text(), "unbekannt");
    EXPECT_EQ(mf.labelVersion->text(), "1.05");
    EXPECT_EQ(mf.labelVersion2->text(), "1.05");
    EXPECT_EQ(mf.labelLHighscore->text(), "Level 1 ");
    EXPECT_EQ(mf.lhn[9]->text(), "unbekannt");
    EXPECT_EQ(mf.ihp[9]->text(), "0");
    EXPECT_EQ(mf.lhn[9]->y(), mf.lhn[0]->y() + 180);
    EXPECT_EQ(mf.lhp[3]->x(), mf.lhp[0]->x());
    EXPECT_EQ(mf.Button1->text(), " Spielen");
}

TEST_F(Dialog, SettingsRoundTrip)
{
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    mf.resBox->setCurrentIndex(1);
    mf.radioFullscreen->setChecked(true);
    mf.trackMouse->setValue(8);
    mf.checkMouse->setChecked(true);
    mf.comboMaps->setCurrentIndex(3);
    mf.checkProxy->setChecked(true);
    mf.editProxy->setText("proxy.local");
    mf.editPort->setText("3128");
    mf.editName->setText("Ada");
    DoneMask = 5;
    InsertEntry(&LocalTable, 3, 0, "Ada", 4711);
    InsertEntry(&InternetTable, 6, 0, "Net", 99);
    SaveSettings(d / "gackatron.ini");

    std::string ini;
    ASSERT_TRUE(gk::ReadFile(d / "gackatron.ini", &ini));
    EXPECT_NE(ini.find("fullscreen=1"), std::string::npos);
    EXPECT_NE(ini.find("invert=1"), std::string::npos);
    EXPECT_NE(ini.find("enabled=1"), std::string::npos);
    EXPECT_EQ(ini.find("true"), std::string::npos);

    L_DestroyWindows();
    HS_Fill(&LocalTable, "x", 0);
    HS_Fill(&InternetTable, "x", 0);
    DoneMask = 0;
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    EXPECT_EQ(mf.resBox->currentIndex(), 1);
    EXPECT_FALSE(mf.img32->isHidden());
    EXPECT_TRUE(mf.img16->isHidden());
    EXPECT_TRUE(mf.radioFullscreen->isChecked());
    EXPECT_FALSE(mf.radioWindowed->isChecked());
    EXPECT_EQ(mf.trackMouse->value(), 8);
    EXPECT_TRUE(mf.checkMouse->isChecked());
    EXPECT_EQ(mf.comboMaps->currentIndex(), 3);
    EXPECT_EQ(mf.comboIMaps->currentIndex(), 3);
    EXPECT_TRUE(mf.editProxy->isEnabled());
    EXPECT_EQ(mf.editProxy->text(), "proxy.local");
    EXPECT_EQ(mf.editPort->text(), "3128");
    EXPECT_EQ(mf.editName->text(), "Ada");
    EXPECT_EQ(DoneMask, 5);
    EXPECT_EQ(mf.lhn[0]->text(), "Ada");
    EXPECT_EQ(mf.lhp[0]->text(), "4711");
    EXPECT_EQ(InternetTable.e[6][0].name, "Net");
    EXPECT_EQ(LocalTable.e[0][0].name, "unbekannt");
}

TEST_F(Dialog, DamagedSettingsFallBack)
{
    {
        QSettings s(QString::fromStdString(d / "gackatron.ini"), QSettings::IniFormat);
        s.setValue("display/mode", 7);
        s.setValue("game/lastmap", 40);
        s.setValue("game/local", "00112233445566778899");
        s.setValue("game/inet", "nonsense");
    }
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    EXPECT_EQ(mf.resBox->currentIndex(), 0);
    EXPECT_EQ(mf.comboMaps->currentIndex(), 0);
    EXPECT_EQ(LocalTable.e[0][0].name, "unbekannt");
    EXPECT_EQ(mf.ihn[0]->text(), "unbekannt");
}

TEST_F(Dialog, LevelListSources)
{
    gk::WriteFile(d / "data/script0_49.descr", "Der Bauernhof\r\nzweite Zeile\n");
    std::string bin(600, '\0');
    bin.replace(132, 9, "Weltraum!");
    gk::WriteFile(d / "data/script1.bin", bin);
    std::string full(300, '\0');
    for (int i = 132; i < 261; i++)
        full[i] = 'L';      /* a name without its zero byte */
    gk::WriteFile(d / "data/script3.bin", full);
    gk::WriteFile(d / "data/script4.bin", std::string(100, 'x'));   /* too short */
    L_CreateWindows();
    ASSERT_EQ(mf.comboMaps->count(), 5);
    EXPECT_EQ(mf.comboMaps->itemText(0), "1. Der Bauernhof");
    EXPECT_EQ(mf.comboMaps->itemText(1), "2. Weltraum!");
    EXPECT_EQ(mf.comboMaps->itemText(2), "Level 3");
    EXPECT_EQ(mf.comboMaps->itemText(3), "4. " + QString(129, 'L'));
    EXPECT_EQ(mf.comboMaps->itemText(4), "Level 5");
    EXPECT_EQ(mf.comboIMaps->itemText(2), "Level 3");
    EXPECT_EQ(mf.comboMaps->currentIndex(), 4);  /* none chosen yet: the last */

    mf.comboMaps->setCurrentIndex(2);
    DoneMask = 15;
    FillLevelList();
    EXPECT_EQ(mf.comboMaps->count(), 5);
    EXPECT_EQ(mf.comboMaps->currentIndex(), 2);
    DoneMask = 31;
    FillLevelList();
    EXPECT_EQ(mf.comboMaps->count(), 6);
    EXPECT_EQ(mf.comboIMaps->count(), 6);
    EXPECT_EQ(mf.comboMaps->itemText(5), "Level 6");
}

TEST_F(Dialog, InternetChoiceSelectsBothLists)
{
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    LocalTable.e[2][4] = {"lokal", 10};
    InternetTable.e[2][7] = {"netz", 20};
    mf.comboIMaps->setCurrentIndex(2);
    comboMapsChange(mf.comboIMaps);
    EXPECT_EQ(mf.comboMaps->currentIndex(), 2);
    EXPECT_EQ(mf.labelLHighscore->text(), "Level 3 ");
    EXPECT_EQ(mf.labelIHighscore->text(), "Level 3 ");
    EXPECT_EQ(mf.lhn[0]->text(), "lokal");     /* sorted before showing */
    EXPECT_EQ(mf.ihn[0]->text(), "netz");
    EXPECT_EQ(mf.ihp[0]->text(), "20");
}

TEST(DialogPictures, KeyColourBecomesButtonFace)
{
    L_TestApp();
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(QColor(255, 0, 255));
    img.setPixel(1, 1, qRgb(10, 20, 30));
    KeyColorToButtonFace(&img, 0x123456);
    EXPECT_EQ(img.pixel(0, 0) & 0xffffff, 0x123456u);
    EXPECT_EQ(img.pixel(3, 2) & 0xffffff, 0x123456u);
    EXPECT_EQ(img.pixel(1, 1), qRgb(10, 20, 30));
    QImage empty;
    KeyColorToButtonFace(&empty, 0);
    EXPECT_TRUE(empty.isNull());
}

/* Every caption of the settings page and the entry dialog is shown whole,
 * in every language; the entry dialog offers the language's default name,
 * and a hand-edited name with a comma comes back as written. */
TEST_F(Dialog, CaptionsFitInEveryLanguage)
{
    for (int country : {49, 44, 7}) {
        SCOPED_TRACE(country);
        Lang_LoadFile(gk::DistDir() + "/data/textres_" + std::to_string(country) + ".ini", country);
        gk::WriteFile(d / "gackatron.ini", "[user]\nlastname=Doe, Jane\n");
        L_CreateWindows();
        EXPECT_EQ(mf.editName->text().toStdString(), Lang(205));
        LoadSettings(d / "gackatron.ini");
        EXPECT_EQ(mf.editName->text(), "Doe, Jane");
        mf.PageControl1->setCurrentWidget(mf.TabSheet2);
        mf.mainf->show();
        mf.pointf->show();
        QApplication::processEvents();
        int checked = 0;
        for (QWidget *top : {(QWidget *)mf.TabSheet2, (QWidget *)mf.pointf})
            for (QWidget *w : top->findChildren<QWidget *>()) {
                if (!w->property("tag").toInt() || !w->isVisibleTo(top) || qobject_cast<QGroupBox *>(w))
                    continue;
                QLabel *l = qobject_cast<QLabel *>(w);
                checked++;
                if (l && l->wordWrap())
                    EXPECT_LE(l->heightForWidth(l->width()), l->height()) << l->text().toStdString();
                else
                    EXPECT_LE(w->sizeHint().width(), w->width()) << w->property("tag").toInt();
            }
        EXPECT_GE(checked, 15);
        mf.pointf->hide();
        L_DestroyWindows();
    }
}

/* No built-in picture shows its magenta key colour. */
TEST_F(Dialog, PicturesHideTheirKeyColour)
{
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    for (QWidget *top : {mf.mainf, (QWidget *)mf.pointf})
        for (QLabel *l : top->findChildren<QLabel *>()) {
            QImage img = l->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
            int magenta = 0;
            for (int y = 0; y < img.height(); y++)
                for (int x = 0; x < img.width(); x++) {
                    QRgb c = img.pixel(x, y);
                    magenta += qAlpha(c) > 0 && qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) > 200;
                }
            EXPECT_EQ(magenta, 0) << l->x() << "," << l->y() << " in " << l->parentWidget()->metaObject()->className();
        }
}

TEST_F(Dialog, ClickOnTheSliderTrackMovesOneStep)
{
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    mf.PageControl1->setCurrentWidget(mf.TabSheet2);
    mf.mainf->show();
    QApplication::processEvents();
    QSlider *s = mf.trackMouse;
    ASSERT_EQ(s->value(), 5);
    /* down the right end of the slider until the click lands on the track */
    for (int y = 0; y < s->height() && s->value() == 5; y++) {
        QPointF at(s->width() - 3, y);
        QMouseEvent press(QEvent::MouseButtonPress, at, s->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, s->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(s, &press);
        QApplication::sendEvent(s, &release);
    }
    EXPECT_EQ(s->value(), 6);
}
