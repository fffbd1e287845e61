/* Language choice, language files, fall-back to English, captions by tag. */
#include <fstream>

#include "l_testapp.h"

TEST(Language, SwitchesOnTheCommandLine)
{
    EXPECT_EQ((std::vector<int>{Lang_CountryFromArgs({"/EN"}, 49), Lang_CountryFromArgs({"-ru", "-de"}, 33), Lang_CountryFromArgs({"-Ru"}, 33),
                                Lang_CountryFromArgs({"en", "--en", "-english"}, 33), Lang_CountryFromArgs({}, 0)}),
              (std::vector<int>{44, 49, 7, 33, 0})) << "de is tested before ru; what is no switch leaves the system's";
}

TEST(Language, FileTextsAndCaptionsByTag)
{
    L_TestApp();
    gk::TempDir d;
    gk::MakeDirs(d / "data");
    gk::WriteFile(d / "data/textres_33.ini", "[44]\n100=wrong section\n[33]\n0=204\n100=Lanceur\n"
                                             "101=deux\\nlignes\n102 = \" blancs \"\nabc=ignored\n[34]\n103=other\n");
    ASSERT_TRUE(Lang_LoadFile(Lang_FilePath(d.path, 33), 33));
    EXPECT_EQ((std::vector<std::string>{Lang(100), Lang(101), Lang(102), Lang(103), Lang(999)}),
              (std::vector<std::string>{"Lanceur", "deux\r\nlignes", " blancs ", "?", "?"}));
    EXPECT_EQ(LanguageCharset, 204);
    EXPECT_EQ(Lang_FilePath(d.path + "/", 33), d.path + "/data/textres_33.ini");
    EXPECT_FALSE(Lang_LoadFile(d / "data/textres_1.ini", 1));

    /* captions replaced by the texts of their tags; untagged ones kept */
    QWidget w;
    QTabWidget *tabs = new QTabWidget(&w);
    QWidget *page = new QWidget;
    page->setProperty("tag", 100);
    tabs->addTab(page, "old");
    QWidget *c[] = {new QLabel("old", page), new QPushButton("old", page), new QCheckBox("old", page),
                    new QLabel("keep", page), new QLabel("old", page)};
    const int tags[] = {102, 100, 100, 0, 999};    /* 0: untagged, 999: no text */
    const char *want[] = {" blancs ", "Lanceur", "Lanceur", "keep", "?"};
    for (int i = 0; i < 5; i++)
        if (tags[i])
            c[i]->setProperty("tag", tags[i]);
    ApplyLanguage(&w);
    EXPECT_EQ(tabs->tabText(0), "Lanceur");
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(c[i]->property("text").toString().toStdString(), want[i]);
}

/* Every shipped language holds every key of the English file, and the entry text its two place holders. */
TEST(Language, ShippedFilesHoldEveryKey)
{
    std::ifstream english(Lang_FilePath(gk::DistDir(), 44));
    std::vector<int> keys;
    for (std::string line; std::getline(english, line);)
        if (!line.empty() && isdigit((unsigned char)line[0]))
            keys.push_back(atoi(line.c_str()));
    ASSERT_GT(keys.size(), 40u);
    for (int c : {49, 44, 7, 0}) {
        ASSERT_TRUE(Lang_LoadFile(Lang_FilePath(gk::DistDir(), c), c)) << c;
        for (int k : keys)
            EXPECT_NE(Lang(k), "?") << c << " key " << k;
        EXPECT_TRUE(Lang(143).find("#1") != std::string::npos && Lang(143).find("#2") != std::string::npos) << Lang(143);
    }
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
    EXPECT_EQ((std::vector<std::string>{std::to_string(LanguageCountry), std::to_string(l_messagecount - before), l_lastcaption}),
              (std::vector<std::string>{"44", "1", "No Panic"}));
    EXPECT_EQ(l_lasttext.rfind("Unable to find the proper language support file for \"", 0), 0u);
    EXPECT_NE(l_lasttext.find("\".\r\nFalling back to default English. Please click OK to proceed."),
              std::string::npos);
    EXPECT_TRUE(LocalTable.e[7][9].name == "nobody" && InternetTable.e[0][0].name == "nobody") << LocalTable.e[7][9].name;

    /* /EN on any system reads textres_44.ini without a message */
    ASSERT_TRUE(Lang_Select(d.path, {"/EN"}));
    EXPECT_TRUE(LanguageCountry == 44 && l_messagecount == before + 1) << LanguageCountry;
}
