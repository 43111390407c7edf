#pragma once
// The `dump` answer of the headless shell: the package, its globals, the
// application's forms and cursor, and every component of the screen with the
// properties an operator can see. Texts are converted to UTF-8.
#include <nlohmann/json.hpp>

class PackageHost;
class TCustomForm;
class TComponent;

class ScreenDump {
public:
    static nlohmann::json Dump(const PackageHost& package);
    static nlohmann::json DumpForm(const TCustomForm* form);
    static nlohmann::json DumpComponent(const TComponent* component);
};
