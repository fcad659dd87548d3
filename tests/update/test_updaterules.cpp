// The update check's rules without a window: version numbers, the first line of
// a version file, the announced length, the percentage and which servers count.

#include "update/updaterules.h"

#include <gtest/gtest.h>

using namespace sonorel::update;

TEST(UpdateRules, VersionNumbersCompareAsHundredths) {
    EXPECT_EQ(versionHundredths("1.68"), 168);
    EXPECT_EQ(versionHundredths("1.69"), 169); // 1.69 * 100 is 168.99999... in binary
    EXPECT_EQ(versionHundredths("1.70 beta"), 170);
    EXPECT_EQ(versionHundredths("1.7"), 170);
    EXPECT_EQ(versionHundredths("  2"), 200);
    EXPECT_EQ(versionHundredths("2.5.1"), 250);
    EXPECT_EQ(versionHundredths("1."), 100);
    EXPECT_EQ(versionHundredths("0"), 0);
    // No number at the start: never version 0.
    for (const char* text :
         {"", "beta 1.70", "<html>404</html>", ".5", "-1.70", "\x01\x02", "v1.70", "1234567890.1"})
        EXPECT_FALSE(versionHundredths(QString::fromLatin1(text)).has_value()) << text;
}

TEST(UpdateRules, FirstLineOfTheVersionFile) {
    EXPECT_EQ(firstLine("1.70\r\nnotes"), "1.70");
    EXPECT_EQ(firstLine("1.70\nnotes"), "1.70");
    EXPECT_EQ(firstLine("1.70\rnotes"), "1.70");
    EXPECT_EQ(firstLine("\xEF\xBB\xBF"
                        "1.71 beta"),
              "1.71 beta");
    EXPECT_EQ(firstLine(""), "");
}

TEST(UpdateRules, AnnouncedLengthAndPercentage) {
    EXPECT_EQ(contentLength("50000"), 50000);
    EXPECT_EQ(contentLength(" 7 "), 7);
    for (const char* bad : {"", "0", "-5", "12abc", "1e6", "0x10", "99999999999999999999"})
        EXPECT_FALSE(contentLength(bad).has_value()) << bad;

    EXPECT_EQ(percentText(1024, 4096), "25%");
    EXPECT_EQ(percentText(1, 3), "33%");
    EXPECT_EQ(percentText(2, 3), "67%");
    EXPECT_EQ(percentText(4096, 4096), "100%");
    EXPECT_EQ(percentText(5000, 4096), "100%");
    EXPECT_EQ(percentText(10, 0), "");
}

TEST(UpdateRules, PlainHttpOnlyOnThisMachine) {
    EXPECT_TRUE(serverAllowed(QUrl("https://sonorel.org")));
    EXPECT_TRUE(serverAllowed(QUrl("http://127.0.0.1:8080")));
    EXPECT_TRUE(serverAllowed(QUrl("http://localhost:8080")));
    EXPECT_TRUE(serverAllowed(QUrl("http://[::1]:8080")));
    EXPECT_FALSE(serverAllowed(QUrl("http://sonorel.org")));
    EXPECT_FALSE(serverAllowed(QUrl("http://192.168.1.2")));
    EXPECT_FALSE(serverAllowed(QUrl("ftp://127.0.0.1")));
    EXPECT_FALSE(serverAllowed(QUrl("file:///tmp")));

    const QUrl maker("https://sonorel.org");
    EXPECT_EQ(updateServer(maker, ""), maker);
    EXPECT_EQ(updateServer(maker, "http://127.0.0.1:4567"), QUrl("http://127.0.0.1:4567"));
    // Another machine, even over HTTPS, is never taken from the environment.
    EXPECT_EQ(updateServer(maker, "http://example.com"), maker);
    EXPECT_EQ(updateServer(maker, "https://example.com"), maker);
    EXPECT_EQ(updateServer(maker, "not a url at all"), maker);

    EXPECT_EQ(serverFile(QUrl("http://127.0.0.1:4567"), "/Sonorel/update/updateinfo.ini"),
              QUrl("http://127.0.0.1:4567/Sonorel/update/updateinfo.ini"));
    EXPECT_EQ(serverFile(QUrl("https://h.example/mirror/"), "/Sonorel/update/updatec.exe"),
              QUrl("https://h.example/mirror/Sonorel/update/updatec.exe"));
}
