#pragma once
// The operator's live session: current branch, invoicing branch, active
// module, application server address and the shell's local database. The
// shell loads it from a session file and may change any value while it runs;
// the session routines (FiliProc, WebPort...) ask it anew at every use.
//
// Session file: UTF-8 text in INI form.
//
//   ; comment            (lines starting with ';' or '#' are comments)
//   [session]
//   FiliProc = 0001
//   FiliProcFat = 0001
//   NomeFiliProcFat = Matriz São Paulo
//   ModuFili = 0
//   ModuloAtiv = 15
//   WebURL = 127.0.0.1   (or several servers: app1, app2:2112; see ServerAddress)
//   WebPort = 211
//   LocalDatabase = /path/local.db
//   Language = en        (optional)
//   Secret = s3cr3t      (optional)
//   Operator = maria     (optional)
//   TlsCaFile = /path/ca.pem          (optional)
//   TlsFingerprint = AB:CD:...        (optional)
//
// Rules: keys and section names are compared without regard to case; blanks
// around keys, values and section names are dropped (a value cannot start or
// end with a blank); values are converted to Windows-1252. Every key above
// except Language, Secret, Operator, TlsCaFile and TlsFingerprint must be
// given. Values: FiliProc and FiliProcFat
// hold at most 4 characters; ModuFili is 0 or 1; ModuloAtiv is an integer from
// 0 to 32767; WebURL one server address or a comma-separated list of them
// (ServerAddress); WebPort an integer from 1 to 65535; Language a locale name of
// letters, digits, '_' and '-' (or empty); Operator at most 64 letters,
// digits, '.', '_', '-' and '@'; TlsFingerprint the SHA-256 fingerprint of
// the server's certificate, 64 hexadecimal digits with or without ':'
// (stored as lower-case digits). With TlsCaFile or TlsFingerprint the shell
// speaks TLS to the server and checks its certificate against them.
//
// Failure behaviour: a bad value for a known key, a key given twice, a line
// that is neither a section, a "key = value" pair, a comment nor blank, a pair
// outside any section, a text with no Windows-1252 form, a missing required key,
// a missing [session] section or a file that cannot be read raise
// EResourceError naming the file, the line and the column (line 0 and column 0
// when the fault is the file as a whole: a missing key or section, an
// unreadable file). A failed load leaves the session as it was.
//
// LocalDatabase is Windows-1252 like every value; whoever opens the database
// converts it back with Cp1252::ToUtf8. Unknown keys in [session] and
// other sections are ignored, each with a warning (Warnings()), so that a
// session file written for a newer shell still loads. A file holding a Secret
// that its group or others may read loads with a warning too.
//
// Used on the user-interface thread only.
#include <string>
#include <vector>

class Session {
public:
    // The process-wide session that the session routines read. Until a file is
    // loaded every text is empty, ModuFili false and the numbers 0.
    static Session& Current();

    // Reads a session file; see above for the rules and errors.
    void LoadFromFile(const std::string& path);
    // Reads session text held in memory; fileName names it in errors.
    void LoadFromText(const std::string& utf8, const std::string& fileName);

    // Changes one value while the shell runs. The key is one of the keys above
    // (any case); the value is Windows-1252 text in the file's notation ("1",
    // "211"). An unknown key raises EInvalidOperation; a bad value
    // EConvertError, leaving the value as it was.
    void Set(const std::string& key, const std::string& value);
    // The value of a key in the file's notation; EInvalidOperation for an
    // unknown key.
    std::string Get(const std::string& key) const;

    const std::string& FiliProc() const { return values_.filiProc; }
    const std::string& FiliProcFat() const { return values_.filiProcFat; }
    const std::string& NomeFiliProcFat() const { return values_.nomeFiliProcFat; }
    bool ModuFili() const { return values_.moduFili; }
    int ModuloAtiv() const { return values_.moduloAtiv; }
    const std::string& WebURL() const { return values_.webURL; }
    int WebPort() const { return values_.webPort; }
    const std::string& LocalDatabase() const { return values_.localDatabase; }
    const std::string& Language() const { return values_.language; }
    const std::string& Secret() const { return values_.secret; }
    const std::string& Operator() const { return values_.operatorName; }
    const std::string& TlsCaFile() const { return values_.tlsCaFile; }
    const std::string& TlsFingerprint() const { return values_.tlsFingerprint; }

    // The file of the last successful load, empty when none.
    const std::string& FileName() const { return fileName_; }
    // What the last successful load ignored, one Windows-1252 text each.
    const std::vector<std::string>& Warnings() const { return warnings_; }

    struct Values {
        std::string filiProc;
        std::string filiProcFat;
        std::string nomeFiliProcFat;
        bool moduFili = false;
        int moduloAtiv = 0;
        std::string webURL;
        int webPort = 0;
        std::string localDatabase;
        std::string language;
        std::string secret;
        std::string operatorName;
        std::string tlsCaFile;
        std::string tlsFingerprint;
    };

private:
    Values values_;
    std::string fileName_;
    std::vector<std::string> warnings_;
};
