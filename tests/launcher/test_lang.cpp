/*
 * test_lang.cpp -- the language choice, the language files and their
 * texts, the fall-back to English, and captions replaced by their keys.
 */
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "gk_support.h"
#include "l_local.h"
#include "l_testapp.h"

TEST(Language, SwitchesOnTheCommandLine)
{
    EXPECT_EQ(Lang_CountryFromArgs({"/EN"}, 49), 44);
    EXPECT_EQ(Lang_CountryFromArgs({"-ru", "-de"}, 33), 49);   /* de is tested first */
    EXPECT_EQ(Lang_CountryFromArgs({"-Ru"}, 33), 7);
    EXPECT_EQ(Lang_CountryFromArgs({"en", "--en", "-english"}, 33), 33);
    EXPECT_EQ(Lang_CountryFromArgs({}, 0), 0);
}

TEST(Language, FileTexts)
{
    gk::TempDir d;
    gk::MakeDirs(d / "data");
    gk::WriteFile(d / "data/textres_33.ini",
                  "[44]\n100=wrong section\n[33]\n0=1\n100=Lanceur\n"
                  "101=deux\\nlignes\n102 = \" blancs \"\nabc=ignored\n[34]\n103=other\n");
    ASSERT_TRUE(Lang_LoadFile(Lang_FilePath(d.path, 33), 33));
    EXPECT_EQ(Lang(100), "Lanceur");
    EXPECT_EQ(Lang(101), "deux\r\nlignes");
    EXPECT_EQ(Lang(102), " blancs ");
    EXPECT_EQ(Lang(103), "?");
    EXPECT_EQ(Lang(999), "?");
    EXPECT_EQ(LanguageCharset, 1);
    EXPECT_EQ(Lang_FilePath(d.path + "/", 33), d.path + "/data/textres_33.ini");
    EXPECT_FALSE(Lang_LoadFile(d / "data/textres_1.ini", 1));
}

TEST(Language, ShippedFilesHoldEveryKey)
{
    static const int keys[] = {0, 100, 101, 102, 103, 104, 110, 111, 112, 120, 121, 122, 123,
                               124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 140, 141,
                               142, 143, 144, 145, 146, 200, 201, 202, 203, 204, 205, 210, 211,
                               212, 213, 214};
    for (int c : {49, 44, 7, 0}) {
        ASSERT_TRUE(Lang_LoadFile(Lang_FilePath(gk::DistDir(), c), c)) << c;
        for (int k : keys)
            EXPECT_NE(Lang(k), "?") << c << " key " << k;
        EXPECT_NE(Lang(143).find("#1"), std::string::npos);
        EXPECT_NE(Lang(143).find("#2"), std::string::npos);
    }
    Lang_LoadFile(Lang_FilePath(gk::DistDir(), 49), 49);
    EXPECT_EQ(Lang(104), " Spielen");
    EXPECT_EQ(Lang(205), "unbekannt");
}

TEST(Language, MissingFileFallsBackToEnglish)
{
    L_TestApp();
    gk::TempDir d;
    gk::MakeDirs(d / "data");
    gk::WriteFile(d / "data/textres_44.ini", "[44]\n0=0\n205=nobody\n");
    int before = l_messagecount;
    /* the test's locale has no textres file: "-fr" is no switch we know */
    ASSERT_TRUE(Lang_Select(d.path, {"-fr"}));
    EXPECT_EQ(LanguageCountry, 44);
    EXPECT_EQ(l_messagecount, before + 1);
    EXPECT_EQ(l_lastcaption, "No Panic");
    EXPECT_EQ(l_lasttext.rfind("Unable to find the proper language support file for \"", 0), 0u);
    EXPECT_NE(l_lasttext.find("\".\r\nFalling back to default English. Please click OK to proceed."),
              std::string::npos);
    EXPECT_EQ(LocalTable.e[7][9].name, "nobody");
    EXPECT_EQ(InternetTable.e[0][0].name, "nobody");

    /* /EN on any system reads textres_44.ini without a message */
    ASSERT_TRUE(Lang_Select(d.path, {"/EN"}));
    EXPECT_EQ(LanguageCountry, 44);
    EXPECT_EQ(l_messagecount, before + 1);
}

TEST(Language, CaptionsByTag)
{
    L_TestApp();
    gk::TempDir d;
    gk::WriteFile(d / "l.ini", "[5]\n1=page\n2=label\n3=button\n4=box\n");
    Lang_LoadFile(d / "l.ini", 5);
    QWidget w;
    QTabWidget *tabs = new QTabWidget(&w);
    QWidget *page = new QWidget;
    page->setProperty("tag", 1);
    tabs->addTab(page, "old");
    QLabel *l = new QLabel("old", page);
    l->setProperty("tag", 2);
    QPushButton *b = new QPushButton("old", page);
    b->setProperty("tag", 3);
    QCheckBox *c = new QCheckBox("old", page);
    c->setProperty("tag", 4);
    QLabel *untagged = new QLabel("keep", page);
    QLabel *missing = new QLabel("old", page);
    missing->setProperty("tag", 9);
    ApplyLanguage(&w);
    EXPECT_EQ(tabs->tabText(0), "page");
    EXPECT_EQ(l->text(), "label");
    EXPECT_EQ(b->text(), "button");
    EXPECT_EQ(c->text(), "box");
    EXPECT_EQ(untagged->text(), "keep");
    EXPECT_EQ(missing->text(), "?");
}
