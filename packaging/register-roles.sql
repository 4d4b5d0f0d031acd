-- Roles for a card register on a PostgreSQL server, so that the stations need not own its
-- tables:
--   orvex_station  reserves, confirms, releases, revokes and resolves cards and takes the
--                  next free number, with exactly the columns the program sets; it cannot
--                  change the schema version, set an event's time or role, insert a card
--                  other than a new reservation, or delete a card other than a reservation
--                  (a release) or an unverified card (resolved as released). The register's
--                  own triggers refuse every change of a card its rules do not allow and any
--                  change of the history, to every role.
--   orvex_office   reads the register and its history, nothing else.
-- Both are groups without a login: give each person or station an account of its own, e.g.
--   CREATE ROLE station1 LOGIN PASSWORD '...' IN ROLE orvex_station;
--   CREATE ROLE office1 LOGIN PASSWORD '...' IN ROLE orvex_office;
--
-- Run it as the owner of the register's tables (with the right to create roles), in the
-- register's database, after the register was opened once by that owner (which creates the
-- tables, or brings them to the current schema version) and again after a new program
-- version changed the register's tables:
--   psql -v ON_ERROR_STOP=1 -h HOST -U OWNER -d orvex \
--        -f /usr/share/orvex-fsk-programmer/register-roles.sql
-- Running it twice changes nothing.

DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'orvex_station') THEN
        CREATE ROLE orvex_station NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'orvex_office') THEN
        CREATE ROLE orvex_office NOLOGIN;
    END IF;
END
$$;

-- The tables live in the owner's current schema (public unless set otherwise).
DO $$
BEGIN
    EXECUTE format('GRANT USAGE ON SCHEMA %I TO orvex_station, orvex_office', current_schema());
END
$$;

-- Start from nothing, so that a second run after a change of this script leaves no old right.
REVOKE ALL ON register_info, next_free_marks, cards, card_events FROM orvex_station, orvex_office;

-- The schema version is read, never written: a station cannot make the register look like a
-- newer program's. Where a series stands (the next free number's marks) is its own table.
GRANT SELECT ON register_info TO orvex_station;
GRANT SELECT, INSERT (layout, first_key, held_to), UPDATE (held_to) ON next_free_marks
    TO orvex_station;
-- A reservation is inserted with the columns the program sets, then confirmed, held
-- unverified, replaced or revoked in place: only the columns those changes set may change,
-- and the register's own trigger (cards_rules) refuses every change of state its rules do not
-- allow, also for the owner. SELECT ... FOR UPDATE, which a change takes on its row, needs an
-- UPDATE right.
GRANT SELECT, DELETE ON cards TO orvex_station;
GRANT INSERT (format, facility, number, extra, chip, chip_id, locked, verified, reissue, state,
              time, station, operator, program_version, layout, card_key, reason, replaces,
              holder),
      UPDATE (state, time, verified, chip_id, reason, replaced_by)
    ON cards TO orvex_station;
-- The history is appended, never rewritten (its trigger refuses UPDATE, DELETE and TRUNCATE
-- to everyone). Its time is the server's default and the role that appended it the server's
-- word: a station names neither.
GRANT SELECT ON card_events TO orvex_station;
GRANT INSERT (card_id, layout, card_key, kind, station, operator, reason, chip_id, request)
    ON card_events TO orvex_station;
GRANT USAGE ON SEQUENCE cards_id_seq, card_events_id_seq TO orvex_station;

GRANT SELECT ON register_info, cards, card_events TO orvex_office;

-- A station inserts a card only as a new reservation, at the server's time, and deletes one
-- only where the register itself does: a reservation whose write never reached the chip is
-- released, and a reserved or unverified card that is resolved as released goes. Row
-- security holds this; the owner is not bound by it (an import copies written cards).
ALTER TABLE cards ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS register_read ON cards;
DROP POLICY IF EXISTS station_insert ON cards;
DROP POLICY IF EXISTS station_update ON cards;
DROP POLICY IF EXISTS station_release ON cards;
CREATE POLICY register_read ON cards FOR SELECT TO orvex_station, orvex_office USING (true);
CREATE POLICY station_insert ON cards FOR INSERT TO orvex_station
    WITH CHECK (state = 'reserved' AND verified = 0 AND replaced_by = 0
                AND time = to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'));
CREATE POLICY station_update ON cards FOR UPDATE TO orvex_station USING (true) WITH CHECK (true);
CREATE POLICY station_release ON cards FOR DELETE TO orvex_station
    USING (state IN ('reserved', 'unverified'));

-- Earlier versions of this script guarded the states with a trigger of their own; the
-- register's schema holds the whole table of transitions now.
DROP TRIGGER IF EXISTS cards_keep_life ON cards;
DROP FUNCTION IF EXISTS orvex_cards_keep_life();

-- The card holders, in registers that have them (schema version 3 on); skipped before.
DO $$
DECLARE
    sequence_name text;
BEGIN
    IF to_regclass('holders') IS NULL THEN
        RETURN;
    END IF;
    REVOKE ALL ON holders FROM orvex_station, orvex_office;
    GRANT SELECT, INSERT, UPDATE ON holders TO orvex_station;
    GRANT SELECT ON holders TO orvex_office;
    sequence_name := pg_get_serial_sequence('holders', 'id');
    IF sequence_name IS NOT NULL THEN
        EXECUTE format('GRANT USAGE ON SEQUENCE %s TO orvex_station', sequence_name);
    END IF;
END
$$;
