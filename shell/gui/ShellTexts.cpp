#include "shell/gui/ShellTexts.h"

#include "host/HostMessages.h"
#include "shell/gui/GuiConvert.h"

QString ShellTexts::Text(const char* key, const std::vector<std::string>& args)
{
    return GuiConvert::ToQt(HostMessages::Text(key, args));
}
