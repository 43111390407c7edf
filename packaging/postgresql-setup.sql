-- The application server's role and database on PostgreSQL, run once by the
-- database's administrator:
--
--   sudo -u postgres psql -v ON_ERROR_STOP=1 -v password="'PASSWORD'" \
--        -f /usr/share/doc/servcliente-server/postgresql-setup.sql
--
-- The role may log in and owns the database and its schema public: the
-- server creates its tables there when it starts, and reads and writes them.
-- It is no superuser and may create no other database or role.
CREATE ROLE servcliente LOGIN PASSWORD :password NOSUPERUSER NOCREATEDB NOCREATEROLE;
CREATE DATABASE servcliente OWNER servcliente ENCODING 'UTF8' TEMPLATE template0;
\connect servcliente
ALTER SCHEMA public OWNER TO servcliente;
REVOKE ALL ON SCHEMA public FROM PUBLIC;
