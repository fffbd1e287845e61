/* The main dialog: settings, level list, highscore columns. */

#include <math.h>

#include <functional>
#include <map>
#include <set>

#include "l_testapp.h"

struct Dialog : L_Fresh {
    void SetUp() override
    {
        L_Fresh::SetUp();
        gk::MakeDirs(d / "data");
        L_ParseModes("1.05\n640 480 16\n800 600 32\n640 480 16\n", &EngineVersion, &ModeList);
        L_CreateWindows();
        LoadSettings(d / "gackatron.ini");
    }
    /* Every setting the dialog shows, in one line. */
    static std::string State()
    {
        QString s = QString("mode %1/%2 %3 img16 %4 img32 %5 full %6/%7 sens %8 inv %9 ")
                        .arg(mf.resBox->currentIndex()).arg(mf.resBox->count()).arg(mf.resBox->currentText())
                        .arg(!mf.img16->isHidden()).arg(!mf.img32->isHidden()).arg(mf.radioFullscreen->isChecked())
                        .arg(mf.radioWindowed->isChecked()).arg(mf.trackMouse->value()).arg(mf.checkMouse->isChecked()) +
                    QString("map %1/%2 %3 proxy %4 %5:%6 name %7 done %8 top %9 ")
                        .arg(mf.comboMaps->currentIndex()).arg(mf.comboMaps->count()).arg(mf.comboIMaps->currentIndex())
                        .arg(mf.editProxy->isEnabled()).arg(mf.editProxy->text()).arg(mf.editPort->text())
                        .arg(mf.editName->text()).arg(DoneMask).arg(mf.labelLHighscore->text()) +
                    mf.lhn[0]->text() + " " + mf.lhp[0]->text() + " " + mf.ihn[0]->text() + " " + mf.ihp[9]->text() +
                    QString(" vol %1/%2").arg(mf.trackMusic->value()).arg(mf.trackEffects->value());
        return s.toStdString();
    }
};

/* Defaults on first start and on damaged settings; every control saved and read back. */
TEST_F(Dialog, FirstStartDamagedSettingsAndRoundTrip)
{
    const std::string defaults = "mode 0/2 640x480, 16 Bit Farbtiefe img16 1 img32 0 full 0/1 sens 5 inv 0 map 0/5 0 "
                                 "proxy 0 :8080 name unbekannt done 0 top Level 1  unbekannt 0 unbekannt 0 vol 100/100";
    EXPECT_EQ(State(), defaults);
    {
        QSettings s(QString::fromStdString(d / "gackatron.ini"), QSettings::IniFormat);
        s.setValue("display/mode", 7);
        s.setValue("game/lastmap", 40);
        s.setValue("game/local", "00112233445566778899");
        s.setValue("game/inet", "nonsense");
    }
    LoadSettings(d / "gackatron.ini");
    EXPECT_TRUE(State() == defaults && mf.labelVersion->text() == "1.05") << State();
    /* without the rendered pictures the page shows a drawn night sky: dark blue above, near black below */
    QImage sky = mf.imageLocal->pixmap().toImage();
    EXPECT_GT(qBlue(sky.pixel(200, 60)), qBlue(sky.pixel(200, 500)) + 40);
    mf.resBox->setCurrentIndex(1);
    mf.radioFullscreen->setChecked(true);
    mf.trackMouse->setValue(0);     /* the lowest sensitivity, kept */
    mf.checkMouse->setChecked(true);
    mf.comboMaps->setCurrentIndex(3);
    mf.checkProxy->setChecked(true);
    mf.editProxy->setText("proxy.local");
    mf.editPort->setText("3128");
    mf.editName->setText("Ada");
    mf.trackMusic->setValue(30);
    mf.trackEffects->setValue(0);
    DoneMask = 5;
    InsertEntry(&LocalTable, 3, 0, "Ada", 4711);
    InsertEntry(&InternetTable, 6, 0, "Net", 99);
    int in = dup(0);    /* a launcher started with its input closed saves all the same (its file may be descriptor 0) */
    close(0);
    std::string why;
    EXPECT_TRUE(L_WriteSettings(d / "gackatron.ini", &why)) << why;
    dup2(in, 0);
    close(in);
    std::string ini;
    ASSERT_TRUE(gk::ReadFile(d / "gackatron.ini", &ini) && ini.find("true") == std::string::npos) << ini;
    for (const char *line : {"fullscreen=1", "invert=1", "enabled=1"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
    ini.replace(ini.find("lastname=Ada"), 12, "lastname = Doe, Jane"); /* by hand: a comma, no quotes */
    ASSERT_TRUE(gk::WriteFile(d / "gackatron.ini", ini));

    L_DestroyWindows();
    HS_Fill(&LocalTable, "x", 0);
    HS_Fill(&InternetTable, "x", 0);
    DoneMask = 0;
    L_CreateWindows();
    LoadSettings(d / "gackatron.ini");
    EXPECT_EQ(State(), "mode 1/2 800x600, 32 Bit Farbtiefe img16 0 img32 1 full 1/0 sens 0 inv 1 map 3/5 3 proxy 1 "
                       "proxy.local:3128 name Doe, Jane done 5 top Level 4  Ada 4711 unbekannt 0 vol 30/0");
    EXPECT_EQ(InternetTable.e[6][0].name, "Net");
}

TEST_F(Dialog, LevelListSources)
{
    L_DestroyWindows();
    gk::WriteFile(d / "data/script0_49.descr", "Der Bauernhof\r\nzweite Zeile\n");
    std::string bin(600, '\0'), full(300, '\0');
    gk::WriteFile(d / "data/script1.bin", bin.replace(132, 9, "Weltraum!"));
    gk::WriteFile(d / "data/script3.bin", full.replace(132, 129, 129, 'L'));    /* no zero byte after the name */
    gk::WriteFile(d / "data/script4.bin", std::string(100, 'x'));               /* too short */
    L_CreateWindows();
    QStringList items;
    for (int i = 0; i < mf.comboMaps->count(); i++)
        items << mf.comboMaps->itemText(i);
    EXPECT_EQ(items, QStringList({"1. Der Bauernhof", "2. Weltraum!", "Level 3", "4. " + QString(129, 'L'), "Level 5"}));
    EXPECT_EQ(mf.comboIMaps->itemText(2), "Level 3");
    EXPECT_EQ(mf.comboMaps->currentIndex(), 4);  /* none chosen yet: the last */
    mf.comboMaps->setCurrentIndex(2);
    for (int done : {15, 31}) {
        DoneMask = done;
        FillLevelList();
        EXPECT_EQ((std::vector<int>{mf.comboMaps->count(), mf.comboIMaps->count(), mf.comboMaps->currentIndex()}),
                  (std::vector<int>{done == 31 ? 6 : 5, done == 31 ? 6 : 5, 2})) << "levels, online levels, the one chosen";
    }
    EXPECT_EQ(mf.comboMaps->itemText(5), "Level 6");
}

TEST_F(Dialog, InternetChoiceSelectsBothLists)
{
    LocalTable.e[2][4] = {"lokal", 10};
    InternetTable.e[2][7] = {"netz", 20};
    mf.comboIMaps->setCurrentIndex(2);
    comboMapsChange(mf.comboIMaps);
    EXPECT_EQ(mf.comboMaps->currentIndex(), 2);
    EXPECT_EQ(mf.labelLHighscore->text() + mf.labelIHighscore->text(), "Level 3 Level 3 ");
    EXPECT_EQ(mf.lhn[0]->text() + mf.ihn[0]->text() + mf.ihp[0]->text(), "lokalnetz20");  /* sorted before showing */
}

/* Each language lists its own names of the six levels the game ships. */
TEST_F(Dialog, ShippedLevelNamesInEachLanguage)
{
    ASSERT_EQ(chdir(gk::DistDir().c_str()), 0);
    std::map<int, QStringList> names;
    DoneMask = 31;
    for (int c : {44, 49, 7}) {
        LanguageCountry = c;
        FillLevelList();
        for (int i = 0; i < mf.comboMaps->count(); i++)
            names[c] << mf.comboMaps->itemText(i);
        ASSERT_EQ(names[c].size(), 6) << c;
        EXPECT_EQ(QSet<QString>(names[c].begin(), names[c].end()).size(), 6) << c;
        for (int i = 0; i < 6; i++)
            EXPECT_TRUE(names[c][i].startsWith(QString::number(i + 1) + ". ") && names[c][i].size() > 5) << c;
    }
    for (int i = 0; i < 6; i++) {
        EXPECT_NE(names[49][i], names[44][i]);
        EXPECT_NE(names[7][i], names[44][i]);
        EXPECT_TRUE(names[7][i].contains(QRegularExpression("[а-я]{3}"))) << names[7][i].toStdString();
    }
}

/* The top-left pixel's colour becomes the button face wherever it is, in a picture of any depth. */
TEST(KeyColour, BecomesTheButtonFaceInAnyDepth)
{
    QImage img(3, 1, QImage::Format_RGB888);
    for (int x = 0; x < 3; x++)
        img.setPixel(x, 0, x == 1 ? qRgb(0, 0, 255) : qRgb(255, 0, 0));
    KeyColorToButtonFace(&img, 0x102030);
    EXPECT_EQ((std::vector<QRgb>{img.pixel(0, 0), img.pixel(1, 0), img.pixel(2, 0)}), (std::vector<QRgb>{0xff102030, 0xff0000ff, 0xff102030}));
}

/* Every picture the launcher shows is a picture, not a flat or drawn
 * stand-in: many colours, contrast and edges. */
TEST_F(Dialog, EveryPictureIsRendered)
{
    L_DestroyWindows();
    ASSERT_EQ(chdir(gk::DistDir().c_str()), 0);
    if (access("data/bgimage_44.bmp", R_OK) != 0)
        GTEST_SKIP() << "no pictures were rendered (ffmpeg missing)";
    L_CreateWindows();
    int seen = 0;
    for (QWidget *top : {mf.mainf, (QWidget *)mf.pointf})
        for (QLabel *l : top->findChildren<QLabel *>()) {
            QImage img = l->pixmap().toImage();
            if (img.isNull())
                continue;
            seen++;
            std::set<QRgb> colours;
            double sum = 0, sum2 = 0, edges = 0, n = img.width() * img.height();
            for (int y = 0; y < img.height(); y++)
                for (int x = 0; x < img.width(); x++) {
                    int g = qGray(img.pixel(x, y));
                    colours.insert(img.pixel(x, y));
                    sum += g;
                    sum2 += g * g;
                    edges += x > 0 && abs(g - qGray(img.pixel(x - 1, y))) > 24;
                }
            std::string what = std::to_string(img.width()) + "x" + std::to_string(img.height());
            EXPECT_GE(colours.size(), 64u) << what;
            EXPECT_GE(sqrt(sum2 / n - sum * sum / n / n), 12.0) << what;
            EXPECT_GE(edges / n, 0.01) << what;
            EXPECT_EQ(colours.count(qRgb(255, 0, 255)), 0u) << what << ": the key colour is left showing";
        }
    EXPECT_EQ(seen, 10);
}

/* In each language no shown control covers another of its box or leaves
 * it (pictures may sit behind text), and no two of a page show the same text. */
TEST_F(Dialog, NoControlCoversAnother)
{
    std::function<void(QWidget *)> look = [&look](QWidget *box) {
        QList<QWidget *> kids;
        for (QWidget *k : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (k->isVisible() && !(qobject_cast<QLabel *>(k) && !((QLabel *)k)->pixmap().isNull() && k->pos().isNull()))  /* page backgrounds aside */
                kids.push_back(k);
        for (int i = 0; i < kids.size(); i++) {
            EXPECT_TRUE(box->rect().contains(kids[i]->geometry())) << kids[i]->property("tag").toInt();
            for (int j = i + 1; j < kids.size(); j++) {
                QRect a = kids[i]->geometry(), b = kids[j]->geometry();
                /* apart; placed by hand (no layout), their edges line up or stand clearly apart */
                int near = 0;
                for (int gap : {a.left() - b.left(), a.right() - b.right(), a.top() - b.top(), a.bottom() - b.bottom()})
                    near += gap && abs(gap) < 4;
                near *= !box->layout();
                EXPECT_TRUE(!a.intersects(b) && !near)
                    << kids[i]->metaObject()->className() << " " << kids[i]->property("tag").toInt() << " and "
                    << kids[j]->metaObject()->className() << " " << kids[j]->property("tag").toInt();
            }
            look(kids[i]);
        }
    };
    for (int c : {44, 49, 7}) {
        SCOPED_TRACE(c);
        L_DestroyWindows();
        Start(c);
        L_CreateWindows();
        LoadSettings(d / "gackatron.ini");
        mf.mainf->show();
        for (int page = 0; page < mf.PageControl1->count(); page++) {
            mf.PageControl1->setCurrentIndex(page);
            QCoreApplication::processEvents();
            look(mf.PageControl1->widget(page));
            std::set<int> tags;     /* the number of each control's text */
            for (QWidget *w : mf.PageControl1->widget(page)->findChildren<QWidget *>())
                EXPECT_TRUE(!w->property("tag").toInt() || tags.insert(w->property("tag").toInt()).second)
                    << w->property("tag").toInt();
        }
        for (int i = 0; i < HS_ENTRIES; i++)    /* both pages show their lists in the same columns, a row every 20 */
            EXPECT_EQ((std::vector<int>{mf.ihn[i]->x(), mf.ihp[i]->x(), mf.lhn[i]->y() - mf.lhn[0]->y(), mf.lhp[i]->y() - mf.lhp[0]->y(),
                                        mf.ihn[i]->y() - mf.ihn[0]->y(), mf.ihp[i]->y() - mf.ihp[0]->y()}),
                      (std::vector<int>{mf.lhn[i]->x(), mf.lhp[i]->x(), 20 * i, 20 * i, 20 * i, 20 * i})) << i;
    }
}
