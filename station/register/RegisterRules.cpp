#include "station/register/RegisterRules.h"

#include <initializer_list>

#include "station/register/CardLife.h"

namespace station {

namespace {

QString Same(std::initializer_list<const char*> columns) {
    QStringList equal;
    for (const char* column : columns)
        equal << QStringLiteral("NEW.%1 = OLD.%1").arg(QLatin1String(column));
    return equal.join(QStringLiteral(" AND "));
}

// What a change may set besides the state.
QString Sets(Transition::Sets sets, RegisterDialect dialect) {
    switch (sets) {
        case Transition::Sets::Outcome:
            // The write's time is the database's now, never one a station sends.
            return QStringLiteral(
                       "NEW.reason = OLD.reason AND (NEW.time = OLD.time OR "
                       "NEW.time = %1)")
                .arg(NowExpression(dialect));
        case Transition::Sets::Reason:
            return Same({"time", "chip_id", "verified"});
        case Transition::Sets::Link:
            break;
    }
    return Same({"time", "chip_id", "verified", "reason"});
}

QString Quoted(RegisterEntry::State state) {
    return QLatin1Char('\'') + StateText(state) + QLatin1Char('\'');
}

const QString kRemovable = QStringLiteral("('reserved', 'unverified')");

// A text as an SQL string literal.
QString Literal(const char* text) {
    return QLatin1Char('\'') + QString::fromLatin1(text).replace(u'\'', QLatin1String("''")) +
           QLatin1Char('\'');
}

}  // namespace

QString AllowedCardChange(RegisterDialect dialect) {
    QStringList changes = {QStringLiteral("(NEW.state = OLD.state AND %1)")
                               .arg(Sets(Transition::Sets::Link, dialect))};
    for (const Transition& transition : Transitions()) {
        changes << QStringLiteral("(OLD.state = %1 AND NEW.state = %2 AND %3)")
                       .arg(Quoted(transition.from), Quoted(transition.to),
                            Sets(transition.sets, dialect));
    }
    return QStringLiteral(
               "%1 AND (NEW.replaces = OLD.replaces OR OLD.replaces = 0) AND "
               "(NEW.replaced_by = OLD.replaced_by OR OLD.replaced_by = 0) AND (%2)")
        .arg(Same({"id", "format", "facility", "number", "extra", "chip", "locked", "reissue",
                   "layout", "card_key", "station", "operator", "program_version", "holder"}),
             changes.join(QStringLiteral(" OR ")));
}

QStringList RuleStatements(RegisterDialect dialect) {
    const QString allowed = AllowedCardChange(dialect);
    if (dialect == RegisterDialect::SQLite) {
        return {
            QStringLiteral("CREATE TRIGGER cards_rules BEFORE UPDATE ON cards FOR EACH ROW "
                           "WHEN NOT (%1) BEGIN SELECT RAISE(ABORT, %2); END")
                .arg(allowed, Literal(kRefusedCardChange)),
            QStringLiteral("CREATE TRIGGER cards_kept BEFORE DELETE ON cards FOR EACH ROW "
                           "WHEN OLD.state NOT IN %1 BEGIN SELECT RAISE(ABORT, %2); END")
                .arg(kRemovable, Literal(kRefusedCardRemoval)),
            QStringLiteral("CREATE TRIGGER card_events_rules BEFORE UPDATE ON card_events "
                           "BEGIN SELECT RAISE(ABORT, %1); END")
                .arg(Literal(kRefusedHistoryChange)),
            QStringLiteral("CREATE TRIGGER card_events_kept BEFORE DELETE ON card_events "
                           "BEGIN SELECT RAISE(ABORT, %1); END")
                .arg(Literal(kRefusedHistoryChange)),
        };
    }
    return {
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION orvex_cards_rules() RETURNS trigger LANGUAGE plpgsql "
            "AS $$ BEGIN "
            "IF TG_OP = 'UPDATE' THEN "
            "IF NOT (%1) THEN RAISE EXCEPTION %2 USING ERRCODE = 'check_violation', "
            "DETAIL = format('row %s: %s -> %s', OLD.id, OLD.state, NEW.state); END IF; "
            "RETURN NEW; END IF; "
            "IF TG_OP = 'DELETE' AND OLD.state IN %3 THEN RETURN OLD; END IF; "
            "RAISE EXCEPTION %4 USING ERRCODE = 'check_violation'; END $$")
            .arg(allowed, Literal(kRefusedCardChange), kRemovable,
                 Literal(kRefusedCardRemoval)),
        QStringLiteral("CREATE TRIGGER cards_rules BEFORE UPDATE OR DELETE ON cards FOR EACH ROW "
                       "EXECUTE FUNCTION orvex_cards_rules()"),
        QStringLiteral("CREATE TRIGGER cards_kept BEFORE TRUNCATE ON cards FOR EACH STATEMENT "
                       "EXECUTE FUNCTION orvex_cards_rules()"),
        // The role that appended an event is the server's word, not the station's.
        QStringLiteral("CREATE OR REPLACE FUNCTION orvex_card_events_rules() RETURNS trigger "
                       "LANGUAGE plpgsql AS $$ BEGIN "
                       "IF TG_OP = 'INSERT' THEN NEW.db_role := session_user; RETURN NEW; END IF; "
                       "RAISE EXCEPTION %1 USING ERRCODE = 'check_violation'; END $$")
            .arg(Literal(kRefusedHistoryChange)),
        QStringLiteral("CREATE TRIGGER card_events_rules BEFORE INSERT OR UPDATE OR DELETE ON "
                       "card_events FOR EACH ROW EXECUTE FUNCTION orvex_card_events_rules()"),
        QStringLiteral("CREATE TRIGGER card_events_kept BEFORE TRUNCATE ON card_events "
                       "FOR EACH STATEMENT EXECUTE FUNCTION orvex_card_events_rules()"),
    };
}

}  // namespace station
