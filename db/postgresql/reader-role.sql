-- The logins the screen connects with on PostgreSQL: they may read the system's tables
-- and nothing else. The host refuses a login that may write, own or create anything
-- in the schema, or call what PUBLIC may call that writes or disturbs others, whatever
-- its session settings say.
--   psql -v ON_ERROR_STOP=1 -d fis -f db/postgresql/reader-role.sql
-- The rights belong to the group fis_leitores; fisleitor is its first member. An office
-- gives each clerk a login of their own in the group, so no two share a session's name:
--   CREATE ROLE maria LOGIN PASSWORD '...' NOSUPERUSER NOCREATEDB NOCREATEROLE IN ROLE fis_leitores;
--   ALTER ROLE maria SET default_transaction_read_only = on;
-- A password for fisleitor is given afterwards: ALTER ROLE fisleitor PASSWORD '...';
--
-- The REVOKEs below take from PUBLIC, that is from every role of this database that is not
-- a superuser: a writing program that needs one of these (advisory locks, large objects,
-- temporary tables) gets it back by name, e.g. GRANT TEMPORARY ON DATABASE fis TO escritor.
CREATE ROLE fis_leitores NOLOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE;
CREATE ROLE fisleitor LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE INHERIT IN ROLE fis_leitores;
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
DO $$ BEGIN
  EXECUTE format('GRANT CONNECT ON DATABASE %I TO fis_leitores', current_database());
  -- No temporary tables: they are written, and outlive a statement.
  EXECUTE format('REVOKE TEMPORARY ON DATABASE %I FROM PUBLIC', current_database());
END $$;
GRANT USAGE ON SCHEMA public TO fis_leitores;
GRANT SELECT ON ALL TABLES IN SCHEMA public TO fis_leitores;
-- nextval and setval need USAGE or UPDATE on the sequence; the readers have neither.
REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM PUBLIC, fis_leitores;
ALTER ROLE fisleitor SET default_transaction_read_only = on;

-- What any role may call that stores data (large objects), ends or cancels other sessions of
-- the same login, signals listeners, or holds locks others wait for.
DO $$
DECLARE f regprocedure;
BEGIN
  FOR f IN SELECT p.oid::regprocedure FROM pg_proc p
           WHERE p.pronamespace = 'pg_catalog'::regnamespace
             AND (p.proname ~ '^(lo_|loread$|lowrite$)'
                  OR p.proname IN ('pg_terminate_backend', 'pg_cancel_backend', 'pg_notify')
                  OR p.proname ~ '^pg_(try_)?advisory_')
  LOOP
    EXECUTE format('REVOKE EXECUTE ON FUNCTION %s FROM PUBLIC', f);
  END LOOP;
END $$;
