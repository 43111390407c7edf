#include "host/Session.h"
#include "host/ServerAddress.h"
#include "host/ShellRoutines.h"
#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kGood = "\xEF\xBB\xBF"
                          "; the operator's session\r\n"
                          "[session]\r\n"
                          "FiliProc = 0002\r\n"
                          "filiprocfat=0001\r\n"
                          "  NomeFiliProcFat =  Matriz São Paulo  \r\n"
                          "ModuFili = 0\r\n"
                          "# module numbers belong to the shell\r\n"
                          "ModuloAtiv = 15\r\n"
                          "WebURL = 127.0.0.1\r\n"
                          "WebPort = 211\r\n"
                          "LocalDatabase = /var/lib/local.db\r\n"
                          "Language = en\r\n"
                          "Secret = s3cr3t\r\n"
                          "Operator = maria.s\r\n"
                          "TlsCaFile = /etc/servcliente/ca.pem\r\n"
                          "TlsFingerprint = AB:cd:" +
                          std::string(60, 'E') +
                          "\r\n"
                          "Theme = dark\r\n"
                          "\r\n"
                          "[printer]\r\n"
                          "Name = laser\r\n";

// A file holding every required key; Extra is appended inside [session].
std::string WithKeys(const std::string& extra, const std::string& skip = "")
{
    std::string text = "[session]\n";
    for (const char* line : {"FiliProc = 0001", "FiliProcFat = 0001", "NomeFiliProcFat = Matriz", "ModuFili = 1",
                             "ModuloAtiv = 3", "WebURL = server", "WebPort = 211", "LocalDatabase = local.db"}) {
        if (skip.empty() || std::string(line).rfind(skip + " ", 0) != 0) {
            text += std::string(line) + "\n";
        }
    }
    return text + extra;
}

TEST(Session, LoadsAGoodFile)
{
    Session s;
    s.LoadFromText(kGood, "good.ini");
    EXPECT_EQ(s.FiliProc(), "0002");
    EXPECT_EQ(s.FiliProcFat(), "0001");
    EXPECT_EQ(s.NomeFiliProcFat(), Cp1252::FromUtf8("Matriz São Paulo"));
    EXPECT_EQ(s.NomeFiliProcFat().size(), 16u) << "one byte per character";
    EXPECT_FALSE(s.ModuFili());
    EXPECT_EQ(s.ModuloAtiv(), 15);
    EXPECT_EQ(s.WebURL(), "127.0.0.1");
    EXPECT_EQ(s.WebPort(), 211);
    EXPECT_EQ(s.LocalDatabase(), "/var/lib/local.db");
    EXPECT_EQ(s.Language(), "en");
    EXPECT_EQ(s.Secret(), "s3cr3t");
    EXPECT_EQ(s.Operator(), "maria.s");
    EXPECT_EQ(s.TlsCaFile(), "/etc/servcliente/ca.pem");
    EXPECT_EQ(s.TlsFingerprint(), "abcd" + std::string(60, 'e'));
    EXPECT_EQ(s.FileName(), "good.ini");
    ASSERT_EQ(s.Warnings().size(), 2u);
    EXPECT_NE(s.Warnings()[0].find("Theme"), std::string::npos);
    EXPECT_NE(s.Warnings()[1].find("[printer]"), std::string::npos);
}

TEST(Session, OptionalKeysMayBeLeftOut)
{
    Session s;
    s.LoadFromText(WithKeys(""), "min.ini");
    EXPECT_TRUE(s.ModuFili());
    EXPECT_EQ(s.Language(), "");
    EXPECT_EQ(s.Secret(), "");
    EXPECT_TRUE(s.Warnings().empty());
}

TEST(Session, LoadsFromAFileAndNamesAMissingOne)
{
    char path[] = "/tmp/session-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out << kGood;
    }
    Session s;
    s.LoadFromFile(path);
    EXPECT_EQ(s.WebPort(), 211);
    const auto privateWarnings = s.Warnings().size();
    // A Secret others may read is loaded, with a warning.
    chmod(path, 0644);
    s.LoadFromFile(path);
    ASSERT_EQ(s.Warnings().size(), privateWarnings + 1);
    EXPECT_NE(s.Warnings().back().find("holds a Secret and others may read it"), std::string::npos);
    std::remove(path);

    try {
        s.LoadFromFile(path);
        FAIL() << "a missing file should fail";
    } catch (const EResourceError& e) {
        EXPECT_EQ(e.File(), path);
        EXPECT_NE(std::string(e.what()).find("cannot be opened"), std::string::npos) << e.what();
    }
    EXPECT_EQ(s.WebPort(), 211) << "the failed load left the session as it was";
}

struct Malformed {
    const char* what;
    std::string text;
    int line;
    int column;
    const char* says;
};

TEST(Session, MalformedFilesNameFileLineAndColumn)
{
    const Malformed cases[] = {
        {"no section", "FiliProc = 0001\n", 1, 1, "outside any section"},
        {"no session section", "[other]\nFiliProc = 0001\n", 0, 0, "no [session] section"},
        {"missing key", WithKeys("", "WebPort"), 0, 0, "'WebPort' is missing"},
        {"port with letters", WithKeys("", "WebPort") + "WebPort = 21x\n", 9, 11, "WebPort"},
        {"port out of range", WithKeys("", "WebPort") + "WebPort = 70000\n", 9, 11, "out of range"},
        {"port zero", WithKeys("", "WebPort") + "WebPort = 0\n", 9, 11, "out of range"},
        {"port empty", WithKeys("", "WebPort") + "WebPort =\n", 9, 10, "number is required"},
        {"huge number", WithKeys("", "WebPort") + "WebPort = 99999999999999999999\n", 9, 11, "WebPort"},
        {"flag not 0 or 1", WithKeys("", "ModuFili") + "ModuFili = yes\n", 9, 12, "not 0 or 1"},
        {"negative module", WithKeys("", "ModuloAtiv") + "ModuloAtiv = -1\n", 9, 14, "out of range"},
        {"key twice", WithKeys("webport = 212\n"), 10, 1, "first on line 8"},
        {"no equals sign", WithKeys("  WebPort 211\n"), 10, 3, "key = value"},
        {"no key", WithKeys("= 3\n"), 10, 1, "key name is missing"},
        {"open section", "[session\n", 1, 1, "closing ']'"},
        {"empty section", "[ ]\n", 1, 1, "empty section name"},
        {"branch too long", WithKeys("", "FiliProc") + "FiliProc = 00001\n", 9, 12, "too long"},
        {"language with a path", WithKeys("Language = ../fr\n"), 10, 12, "not a language name"},
        {"operator with a blank", WithKeys("Operator = ma ria\n"), 10, 12, "not an operator name"},
        {"short fingerprint", WithKeys("TlsFingerprint = AB:CD\n"), 10, 18, "not 64"},
        {"bad UTF-8", WithKeys("Secret = \xC3\x28\n"), 10, 1, ""},
        {"no Windows-1252 form", WithKeys("Secret = \xCE\xA9\n"), 10, 1, ""},
        {"control character", WithKeys(std::string("Secret = a\0b\n", 13)), 10, 11, "control character"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Session s;
        s.Set("WebPort", "999");
        try {
            s.LoadFromText(c.text, "bad.ini");
            ADD_FAILURE() << "the load should fail";
        } catch (const EResourceError& e) {
            EXPECT_EQ(e.File(), "bad.ini");
            EXPECT_EQ(e.Line(), c.line) << e.what();
            EXPECT_EQ(e.Column(), c.column) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        EXPECT_EQ(s.WebPort(), 999) << "a failed load changes nothing";
        EXPECT_EQ(s.FileName(), "");
    }
}

TEST(Session, GarbageNeverCrashesTheReader)
{
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 400);
    const std::string alphabet = "[]=;#\n\r \tsessionWebPort0123456789\xC3\xA7";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    int loaded = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string text = round % 2 == 0 ? WithKeys("") : "";
        int n = length(random);
        for (int i = 0; i < n; ++i) {
            text += round % 3 == 0 ? static_cast<char>(byte(random)) : alphabet[pick(random)];
        }
        Session s;
        try {
            s.LoadFromText(text, "fuzz.ini");
            ++loaded;
            EXPECT_GE(s.WebPort(), 1);
        } catch (const EResourceError&) {
        }
    }
    EXPECT_GT(loaded, 0) << "some inputs hold a valid session after all";
}

TEST(Session, ValuesChangeWhileTheShellRuns)
{
    Session s;
    s.LoadFromText(WithKeys(""), "live.ini");
    s.Set("webport", "8080");
    s.Set("ModuFili", "0");
    s.Set("NomeFiliProcFat", Cp1252::FromUtf8("Filial Niterói"));
    EXPECT_EQ(s.WebPort(), 8080);
    EXPECT_FALSE(s.ModuFili());
    EXPECT_EQ(s.Get("NOMEFILIPROCFAT"), Cp1252::FromUtf8("Filial Niterói"));
    EXPECT_EQ(s.Get("ModuFili"), "0");

    EXPECT_THROW(s.Set("WebPort", "eighty"), EConvertError);
    EXPECT_THROW(s.Set("FiliProc", "12345"), EConvertError);
    EXPECT_EQ(s.WebPort(), 8080) << "a refused value leaves the old one";
    EXPECT_EQ(s.FiliProc(), "0001");
    EXPECT_THROW(s.Set("Theme", "dark"), EInvalidOperation);
    EXPECT_THROW(s.Get("Theme"), EInvalidOperation);
}

TEST(Session, RoutinesAskTheLiveSessionAtEveryCall)
{
    Session& s = Session::Current();
    s.LoadFromText(kGood, "good.ini");
    EXPECT_EQ(FiliProc(), "0002");
    EXPECT_EQ(FiliProcFat(), "0001");
    EXPECT_EQ(NomeFiliProcFat(), Cp1252::FromUtf8("Matriz São Paulo"));
    EXPECT_FALSE(ModuFili());
    EXPECT_EQ(ModuloAtiv(), 15);
    EXPECT_EQ(WebURL(), "127.0.0.1");
    EXPECT_EQ(WebPort(), 211);

    s.Set("FiliProc", "0003");
    s.Set("ModuFili", "1");
    s.Set("ModuloAtiv", "14");
    s.Set("WebURL", "app.example");
    s.Set("WebPort", "212");
    EXPECT_EQ(FiliProc(), "0003");
    EXPECT_TRUE(ModuFili());
    EXPECT_EQ(ModuloAtiv(), 14);
    EXPECT_EQ(WebURL(), "app.example");
    EXPECT_EQ(WebPort(), 212);
}

TEST(Session, WebUrlTakesAListOfServersAndRefusesABadEntry)
{
    Session s;
    s.LoadFromText(kGood, "good.ini");
    s.Set("WebURL", "app1, app2:2112,[::1]:2113");
    EXPECT_EQ(s.WebURL(), "app1, app2:2112,[::1]:2113");
    const auto servers = ServerAddress::Parse(s.WebURL(), s.WebPort());
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(servers[0].host, "app1");
    EXPECT_EQ(servers[0].port, 211);
    EXPECT_EQ(servers[1].host, "app2");
    EXPECT_EQ(servers[1].port, 2112);
    EXPECT_EQ(servers[2].host, "::1");
    EXPECT_EQ(servers[2].port, 2113);
    for (const char* bad : {"app1,,app2", "app1:0", "app1:http", "app 1", "app1,"}) {
        EXPECT_THROW(s.Set("WebURL", bad), EConvertError) << bad;
    }
    EXPECT_EQ(s.WebURL(), "app1, app2:2112,[::1]:2113") << "a refused value leaves the old one";
}

} // namespace
