-- The login the screen connects with on PostgreSQL: it may read the system's tables
-- and nothing else. The host refuses a login that may write, own or create anything
-- in the schema, whatever its session settings say.
--   psql -v ON_ERROR_STOP=1 -d fis -f db/postgresql/reader-role.sql
-- A password is given afterwards: ALTER ROLE fisleitor PASSWORD '...';
CREATE ROLE fisleitor LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOINHERIT;
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
DO $$ BEGIN
  EXECUTE format('GRANT CONNECT ON DATABASE %I TO fisleitor', current_database());
END $$;
GRANT USAGE ON SCHEMA public TO fisleitor;
GRANT SELECT ON ALL TABLES IN SCHEMA public TO fisleitor;
ALTER ROLE fisleitor SET default_transaction_read_only = on;
