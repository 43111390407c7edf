// Every failure an operator can meet is told in the session's language
// alone: a Portuguese session reads no English, a session in each translated
// language no Portuguese: a local database that is not there, a change the
// server refuses, a server that is not running, a wrong secret, an answer over
// the server's bound.
#include "CommandTrace.h"

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

namespace {

const std::vector<std::string> kEnglishWords = {"the ",   "connection", "refused", "server",
                                                "failed", "could not",  "has no",  "answer"};
const std::vector<std::string> kPortugueseWords = {"não",       "servidor", "conexão", "falhou",
                                                   "aplicação", "filial",   "serviço", "recusou"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Every text of a translated language's tables, its keys left out.
std::string TranslatedTexts(const std::string& language)
{
    std::string texts;
    for (const char* table : {"/host/forms/Mensagens.", "/screen/forms/TfrmServCliente."}) {
        std::ifstream in(std::string(TEST_SOURCE_DIR) + table + language + ".txt");
        for (std::string line; std::getline(in, line);) {
            const auto bar = line.find('|');
            if (bar != std::string::npos) {
                texts += line.substr(bar + 1) + "\n";
            }
        }
    }
    return Lower(texts);
}

// The words a session in language must not show: English ones in Portuguese;
// in a translated language the Portuguese ones its own texts never use, as
// a language may share a word with Portuguese.
std::vector<std::string> ForeignWords(const std::string& language)
{
    if (language == "pt_BR") {
        return kEnglishWords;
    }
    const std::string own = TranslatedTexts(language);
    EXPECT_FALSE(own.empty()) << "no tables for " << language;
    std::vector<std::string> foreign;
    for (const auto& word : kPortugueseWords) {
        if (own.find(word) == std::string::npos) {
            foreign.push_back(word);
        }
    }
    return foreign;
}

std::vector<std::string> SessionLanguages()
{
    std::vector<std::string> languages = TranslatedLanguages();
    languages.insert(languages.begin(), "pt_BR");
    return languages;
}

} // namespace

class LanguageTest : public ShellTest, public ::testing::WithParamInterface<std::string> {
protected:
    // The one message the step showed holds none of the other language's words.
    void ExpectSaidAlone(const ShellOutput& step, const std::string& what)
    {
        auto errors = trace::Errors(step.lines);
        ASSERT_EQ(errors.size(), 1u) << what << "\n" << step.Text();
        const std::string lower = Lower(errors[0]);
        for (const auto& word : ForeignWords(GetParam())) {
            EXPECT_EQ(lower.find(word), std::string::npos)
                << what << ": \"" << errors[0] << "\" has \"" << word << "\"";
        }
    }
};

TEST_P(LanguageTest, EveryFailureIsToldInTheSessionsLanguageAlone)
{
    const std::map<std::string, std::string> language = {{"Language", GetParam()}};
    WriteSession({{"Language", GetParam()}, {"LocalDatabase", dir_ + "/nada.db"}});
    ExpectSaidAlone(Run("open\nfocus medCliente\n"), "no local database where the session says");

    WriteSession(language);
    LiveShell shell(sessionPath_, dir_ + "/live-err.txt");
    shell.Step(trace::Header(1) + "listclick lsbPossiveis 0");

    Db().Execute("DELETE FROM SERVCLIE WHERE CDFILIAL = ? AND CDSERVFILI = ?", {"0001", "00001"});
    Db().Execute("DELETE FROM SERVFILI WHERE CDFILIAL = ? AND CDSERVFILI = ?", {"0001", "00001"});
    ExpectSaidAlone(shell.Step("click sbtEscolhido"), "a change the server refuses");

    Server().Stop();
    ExpectSaidAlone(shell.Step("click sbtTodos"), "no server at the address");

    // A server with a secret, whose answers may not pass 1 KiB: a branch with
    // many services makes the list's answer larger than that.
    const std::string secretFile = dir_ + "/secret";
    std::ofstream(secretFile) << "certo\n";
    chmod(secretFile.c_str(), 0600);
    for (int i = 10; i < 50; ++i) {
        Db().Execute("INSERT INTO SERVFILI VALUES (?, ?, ?)",
                     {"0001", "000" + std::to_string(i), "Serviço de número " + std::to_string(i)});
    }
    AppServerProcess guarded(dbPath_, {"--secret-file", secretFile, "--max-answer", "1024"});
    const std::string port = "session WebPort " + std::to_string(guarded.Port()) + "\n";
    ExpectSaidAlone(shell.Step(port + "session Secret errado\nclick sbtTodos"), "a wrong secret");
    ExpectSaidAlone(shell.Step("session Secret certo\nclick sbtTodos"), "an answer over the server's bound");
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageTest, ::testing::ValuesIn(SessionLanguages()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
