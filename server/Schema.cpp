#include "server/Schema.h"

#include <spdlog/spdlog.h>

#include <iterator>

namespace {

// Step n makes version n + 1 of version n. The first two create only what is
// missing, as the releases before versions were kept did. A step once
// released never changes: a change of the tables is a step of its own,
// added at the end.
//
//   1  FILIAL, CLIENTE, SERVFILI, SERVCLIE
//   2  AUDITORIA
//   3  AUDITORIA's NMENDERECO (the peer's address) and NRLINHAS (rows changed)
const char* const kSteps[] = {
    R"(
CREATE TABLE IF NOT EXISTS FILIAL (
    CDFILIAL varchar(4) NOT NULL PRIMARY KEY,
    NMFILIAL varchar(30)
);
CREATE TABLE IF NOT EXISTS CLIENTE (
    CDFILIAL varchar(4) NOT NULL,
    CDCLIENTE varchar(21) NOT NULL,
    IDTPIJURCLIE char(1),
    NRINSJURCLIE varchar(20),
    NMRAZSOCCLIE varchar(50),
    PRIMARY KEY (CDFILIAL, CDCLIENTE)
);
CREATE TABLE IF NOT EXISTS SERVFILI (
    CDFILIAL varchar(4) NOT NULL,
    CDSERVFILI char(5) NOT NULL,
    NMSERVICO varchar(40),
    PRIMARY KEY (CDFILIAL, CDSERVFILI)
);
CREATE TABLE IF NOT EXISTS SERVCLIE (
    CDFILIAL varchar(4) NOT NULL,
    CDCLIENTE varchar(21) NOT NULL,
    CDSERVFILI char(5) NOT NULL,
    PRIMARY KEY (CDFILIAL, CDCLIENTE, CDSERVFILI),
    FOREIGN KEY (CDFILIAL, CDCLIENTE) REFERENCES CLIENTE (CDFILIAL, CDCLIENTE),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVFILI (CDFILIAL, CDSERVFILI)
);
)",
    R"(
CREATE TABLE IF NOT EXISTS AUDITORIA (
    DTAUDITORIA varchar(32) NOT NULL,
    NMOPERADOR varchar(64) NOT NULL,
    NMMETODO varchar(20) NOT NULL,
    CDFILIAL varchar(4) NOT NULL,
    CDCLIENTE varchar(21) NOT NULL,
    CDSERVFILI varchar(5) NOT NULL,
    DSACAO varchar(20) NOT NULL
);
CREATE INDEX IF NOT EXISTS AUDITORIA_FILIAL ON AUDITORIA (CDFILIAL, DTAUDITORIA);
)",
    R"(
ALTER TABLE AUDITORIA ADD COLUMN NMENDERECO varchar(64) NOT NULL DEFAULT '';
ALTER TABLE AUDITORIA ADD COLUMN NRLINHAS integer;
)",
};

} // namespace

const int Schema::kCurrent = static_cast<int>(std::size(kSteps));

void Schema::Create(Database& db)
{
    Migrate(db);
}

int Schema::Found(Database& db)
{
    if (const int stored = db.StoredVersion(); stored != 0) {
        return stored;
    }
    if (!db.HasTable("SERVCLIE")) {
        return 0;
    }
    if (!db.HasTable("AUDITORIA")) {
        return 1;
    }
    return db.HasColumn("AUDITORIA", "NMENDERECO") ? 3 : 2;
}

int Schema::Migrate(Database& db, int target)
{
    int found = -1;
    for (;;) {
        db.Begin(true);
        try {
            // Read under the lock: another server starting on the same
            // database at once may have applied the step already.
            db.LockSchema();
            const int version = Found(db);
            if (found < 0) {
                found = version;
            }
            if (version > kCurrent) {
                throw EDatabaseError("The " + db.Kind() + " database's schema is version " + std::to_string(version) +
                                     ", newer than version " + std::to_string(kCurrent) +
                                     ", the newest this appserver knows; run the appserver that made it, or a newer "
                                     "one");
            }
            if (version >= target) {
                db.Commit();
                return found;
            }
            db.ApplySchemaStep(kSteps[static_cast<size_t>(version)], version + 1);
            db.Commit();
            if (found > 0) {
                spdlog::info("database schema: version {} brought to version {}", version, version + 1);
            }
        } catch (...) {
            db.Rollback();
            throw;
        }
    }
}
