#include "host/HostMessages.h"
#include "host/Session.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The session's Language takes the table of the code it begins with, whatever
// the case and the region; one no translated language's code begins with (the
// pseudo-language among them) keeps Portuguese, and the table names Qt's own
// translations.
TEST(HostMessagesTest, TheSessionsLanguageChoosesTheTable)
{
    std::string saved = Session::Current().Language();
    for (const char* language : {"en", "EN_us", "en-GB"}) {
        Session::Current().Set("Language", language);
        EXPECT_EQ(HostMessages::Language(), "en") << language;
        EXPECT_EQ(HostMessages::Text("shell.erro"), "Error") << language;
        EXPECT_EQ(HostMessages::Text("shell.traducoes_qt"), "") << language;
    }
    for (const char* language : {"", "pt_BR", "qps", "e"}) {
        Session::Current().Set("Language", language);
        EXPECT_EQ(HostMessages::Language(), "") << language;
        EXPECT_EQ(HostMessages::Text("shell.erro"), "Erro") << language;
        EXPECT_EQ(HostMessages::Text("shell.traducoes_qt"), "qtbase_pt_BR") << language;
    }
    Session::Current().Set("Language", saved);
}

} // namespace
