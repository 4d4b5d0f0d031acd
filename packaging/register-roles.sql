-- Roles for a card register on a PostgreSQL server, so that the stations need not own its
-- tables:
--   orvex_station  reserves, confirms, releases, revokes and resolves cards and takes the
--                  next free number; it cannot rewrite or delete the history (card_events),
--                  and it deletes a card only while the card is a reservation (a release) or
--                  unverified (resolved as released).
--   orvex_office   reads the register and its history, nothing else.
-- Both are groups without a login: give each person or station an account of its own, e.g.
--   CREATE ROLE station1 LOGIN PASSWORD '...' IN ROLE orvex_station;
--   CREATE ROLE office1 LOGIN PASSWORD '...' IN ROLE orvex_office;
--
-- Run it as the owner of the register's tables (with the right to create roles), in the
-- register's database, after the register was opened once by that owner (which creates the
-- tables) and again after a new program version changed the register's tables:
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
REVOKE ALL ON register_info, cards, card_events FROM orvex_station, orvex_office;

-- The schema version and where a series stands (the next free number's mark).
GRANT SELECT, INSERT, UPDATE ON register_info TO orvex_station;
-- A reservation is inserted, then confirmed, held unverified, replaced or revoked in place;
-- SELECT ... FOR UPDATE, which a change takes on its row, needs UPDATE as well.
GRANT SELECT, INSERT, UPDATE, DELETE ON cards TO orvex_station;
-- The history is appended, never rewritten.
GRANT SELECT, INSERT ON card_events TO orvex_station;
GRANT USAGE ON SEQUENCE cards_id_seq, card_events_id_seq TO orvex_station;

GRANT SELECT ON register_info, cards, card_events TO orvex_office;

-- A station deletes a card only where the register itself does: a reservation whose write
-- never reached the chip is released, and a reserved or unverified card that is resolved as
-- released goes. Row security limits DELETE to those rows; the owner is not bound by it.
ALTER TABLE cards ENABLE ROW LEVEL SECURITY;
DROP POLICY IF EXISTS register_read ON cards;
DROP POLICY IF EXISTS station_insert ON cards;
DROP POLICY IF EXISTS station_update ON cards;
DROP POLICY IF EXISTS station_release ON cards;
CREATE POLICY register_read ON cards FOR SELECT TO orvex_station, orvex_office USING (true);
CREATE POLICY station_insert ON cards FOR INSERT TO orvex_station WITH CHECK (true);
CREATE POLICY station_update ON cards FOR UPDATE TO orvex_station USING (true) WITH CHECK (true);
CREATE POLICY station_release ON cards FOR DELETE TO orvex_station
    USING (state IN ('reserved', 'unverified'));

-- Nor can a station make a card deletable: a card becomes a reservation only when it is
-- inserted, and unverified only from a reservation, which is all the program ever does.
CREATE OR REPLACE FUNCTION orvex_cards_keep_life() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF NEW.state IS DISTINCT FROM OLD.state AND OLD.state <> 'reserved'
       AND NEW.state IN ('reserved', 'unverified') THEN
        RAISE EXCEPTION 'a card in state % does not become % again', OLD.state, NEW.state
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    RETURN NEW;
END
$$;
DROP TRIGGER IF EXISTS cards_keep_life ON cards;
CREATE TRIGGER cards_keep_life BEFORE UPDATE OF state ON cards
    FOR EACH ROW EXECUTE FUNCTION orvex_cards_keep_life();

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
