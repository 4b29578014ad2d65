// The objects of the schema "vx" that give SQL Server's meaning to the rewritten statements on
// PostgreSQL (see pg_rewriter.h). Their rules are those of the SQLite engine's functions
// (functions.cpp): the same parts of dates, the same styles of CONVERT, the same errors.
#include "platform/ado/pg_support.h"

#include <string>

namespace platform::ado {

namespace {

// A statement naming "@T" is made once for each type a text or any other single value comes as:
// a text in a column (bpchar), a literal (text), a cast's varchar, any other value; "@S" for the
// three texts only. (A literal cannot go to a function of any type alone.)
constexpr const char* kScript = R"sql(
CREATE SCHEMA IF NOT EXISTS vx;

DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_collation c JOIN pg_namespace n ON n.oid = c.collnamespace
                 WHERE n.nspname = 'vx' AND c.collname = 'ci') THEN
    -- Texts compare without case, with the Polish letters after their base letters, and (being
    -- bpchar) without their trailing blanks.
    CREATE COLLATION vx.ci (provider = icu, locale = 'pl-u-ks-level2', deterministic = false);
  END IF;
END $$;

-- Raises an error (volatile, so that planning never raises it early).
CREATE OR REPLACE FUNCTION vx.fail(message text) RETURNS text LANGUAGE plpgsql VOLATILE AS
$$ BEGIN RAISE EXCEPTION USING MESSAGE = message, ERRCODE = '22023'; END $$;

-- text + text: concatenated with their blanks; NULL gives NULL.
CREATE OR REPLACE FUNCTION vx.concat_keep(bpchar, bpchar) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT concat($1, $2)::bpchar $$;
DROP OPERATOR IF EXISTS vx.+ (bpchar, bpchar);
CREATE OPERATOR vx.+ (LEFTARG = bpchar, RIGHTARG = bpchar, FUNCTION = vx.concat_keep);

-- date + days, days + date, date - days.
CREATE OR REPLACE FUNCTION vx.add_days(timestamp, float8) RETURNS timestamp LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT ($1 + $2 * interval '1 day')::timestamp(3) $$;
CREATE OR REPLACE FUNCTION vx.add_days(float8, timestamp) RETURNS timestamp LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT ($2 + $1 * interval '1 day')::timestamp(3) $$;
CREATE OR REPLACE FUNCTION vx.sub_days(timestamp, float8) RETURNS timestamp LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT ($1 - $2 * interval '1 day')::timestamp(3) $$;
DROP OPERATOR IF EXISTS vx.+ (timestamp, float8);
CREATE OPERATOR vx.+ (LEFTARG = timestamp, RIGHTARG = float8, FUNCTION = vx.add_days);
DROP OPERATOR IF EXISTS vx.+ (float8, timestamp);
CREATE OPERATOR vx.+ (LEFTARG = float8, RIGHTARG = timestamp, FUNCTION = vx.add_days);
DROP OPERATOR IF EXISTS vx.- (timestamp, float8);
CREATE OPERATOR vx.- (LEFTARG = timestamp, RIGHTARG = float8, FUNCTION = vx.sub_days);

-- LIKE: the pattern comes as a regular expression (LikeRegex); the text keeps its blanks.
CREATE OR REPLACE FUNCTION vx."like"(@T, text) RETURNS boolean LANGUAGE sql STABLE STRICT AS
$$ SELECT concat($1) COLLATE "C" ~ $2 $$;

CREATE OR REPLACE FUNCTION vx.len(@T) RETURNS integer LANGUAGE sql STABLE STRICT AS
$$ SELECT char_length(rtrim(concat($1), ' ')) $$;
CREATE OR REPLACE FUNCTION vx.datalength(@S) RETURNS integer LANGUAGE sql STABLE STRICT AS
$$ SELECT char_length(concat($1)) * 2 $$;
CREATE OR REPLACE FUNCTION vx.datalength(bytea) RETURNS integer LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT octet_length($1) $$;
CREATE OR REPLACE FUNCTION vx.upper(@T) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT upper(concat($1) COLLATE "und-x-icu")::bpchar $$;
CREATE OR REPLACE FUNCTION vx.lower(@T) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT lower(concat($1) COLLATE "und-x-icu")::bpchar $$;
CREATE OR REPLACE FUNCTION vx.charindex(text, text, bigint) RETURNS integer LANGUAGE sql STABLE STRICT AS
$$ SELECT CASE WHEN concat($1) = '' THEN 0
               ELSE coalesce(nullif(strpos(substr(upper(concat($2) COLLATE "und-x-icu"), greatest($3, 1)::integer)
                                             COLLATE "C", upper(concat($1) COLLATE "und-x-icu") COLLATE "C"), 0)
                             + greatest($3, 1)::integer - 1, 0) END $$;
CREATE OR REPLACE FUNCTION vx.charindex(text, text) RETURNS integer LANGUAGE sql STABLE STRICT AS
$$ SELECT vx.charindex($1, $2, 1) $$;
CREATE OR REPLACE FUNCTION vx."left"(@T, bigint) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT CASE WHEN $2 < 0 THEN vx.fail('Invalid length parameter passed to the LEFT function.')
               ELSE left(concat($1), least($2, 2147483647)::integer) END::bpchar $$;
CREATE OR REPLACE FUNCTION vx."right"(@T, bigint) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT CASE WHEN $2 < 0 THEN vx.fail('Invalid length parameter passed to the RIGHT function.')
               ELSE right(concat($1), least($2, 2147483647)::integer) END::bpchar $$;
CREATE OR REPLACE FUNCTION vx.space(bigint) RETURNS bpchar LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT CASE WHEN $1 < 0 OR $1 > 8000 THEN NULL ELSE repeat(' ', $1::integer) END::bpchar $$;
CREATE OR REPLACE FUNCTION vx.replicate(text, bigint) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT CASE WHEN $2 < 0 THEN NULL
               WHEN $2 * char_length(concat($1)) > 10000000 THEN vx.fail('string or blob too big')
               ELSE repeat(concat($1), $2::integer) END::bpchar $$;
CREATE OR REPLACE FUNCTION vx.replace(text, text, text) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT CASE WHEN concat($2) = '' THEN concat($1)
               ELSE regexp_replace(concat($1) COLLATE "und-x-icu",
                                   regexp_replace(concat($2), '([^[:alnum:]])', '\\\1', 'g'),
                                   replace(concat($3), '\', '\\'), 'gi') END::bpchar $$;
CREATE OR REPLACE FUNCTION vx.newid() RETURNS bpchar LANGUAGE sql VOLATILE AS
$$ SELECT upper(gen_random_uuid()::text)::bpchar $$;
CREATE OR REPLACE FUNCTION vx.to_bit(numeric) RETURNS smallint LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT CASE WHEN $1 = 0 THEN 0 ELSE 1 END::smallint $$;
CREATE OR REPLACE FUNCTION vx.to_bit(bpchar) RETURNS smallint LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT CASE lower(btrim($1::text)) WHEN 'true' THEN 1 WHEN 'false' THEN 0
               ELSE vx.to_bit($1::text::numeric) END::smallint $$;
CREATE OR REPLACE FUNCTION vx.identity() RETURNS bigint LANGUAGE plpgsql VOLATILE AS
$$ BEGIN RETURN lastval(); EXCEPTION WHEN object_not_in_prerequisite_state THEN RETURN NULL; END $$;
-- The server's time, for column defaults (statements get the workstation's time as a value).
CREATE OR REPLACE FUNCTION vx.getdate() RETURNS timestamp LANGUAGE sql STABLE AS
$$ SELECT localtimestamp(3) $$;
CREATE OR REPLACE FUNCTION vx.getutcdate() RETURNS timestamp LANGUAGE sql STABLE AS
$$ SELECT (now() AT TIME ZONE 'UTC')::timestamp(3) $$;

-- CONVERT to a text: a date in the style asked for (none: as the SQLite engine stores it), any
-- other value as its text; then cut to the length (-1: no limit).
CREATE OR REPLACE FUNCTION vx.convert_text(timestamp, integer, integer) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT (SELECT CASE WHEN $3 >= 0 THEN left(t, $3) ELSE t END FROM (SELECT
     CASE $2
       WHEN 102 THEN to_char($1, 'YYYY.MM.DD')
       WHEN 103 THEN to_char($1, 'DD/MM/YYYY')
       WHEN 104 THEN to_char($1, 'DD.MM.YYYY')
       WHEN 108 THEN to_char($1, 'HH24:MI:SS')
       WHEN 112 THEN to_char($1, 'YYYYMMDD')
       WHEN 23 THEN to_char($1, 'YYYY-MM-DD')
       WHEN 120 THEN to_char($1, 'YYYY-MM-DD HH24:MI:SS')
       WHEN 20 THEN to_char($1, 'YYYY-MM-DD HH24:MI:SS')
       ELSE CASE WHEN $2 < 0 AND date_trunc('second', $1) = $1 THEN to_char($1, 'YYYY-MM-DD HH24:MI:SS')
                 ELSE to_char($1, 'YYYY-MM-DD HH24:MI:SS.MS') END
     END AS t) s)::bpchar $$;
-- A text that is a date in one of the forms the layer reads (as the SQLite engine stores dates)
-- is formatted as that date.
CREATE OR REPLACE FUNCTION vx.date_of_text(t text) RETURNS timestamp LANGUAGE plpgsql STABLE STRICT AS
$$ BEGIN
  IF t ~ '^\d{4}-\d{2}-\d{2}([ T]\d{2}:\d{2}(:\d{2}(\.\d{1,3})?)?)?$'
     OR t ~ '^\d{8}( \d{2}:\d{2}(:\d{2}(\.\d{1,3})?)?)?$'
     OR t ~ '^\d{2}\.\d{2}\.\d{4}( \d{2}:\d{2}(:\d{2}(\.\d{1,3})?)?)?$' THEN
    RETURN t::timestamp(3);
  END IF;
  RETURN NULL;
EXCEPTION WHEN others THEN RETURN NULL;
END $$;
CREATE OR REPLACE FUNCTION vx.convert_text(@S, integer, integer) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT CASE WHEN $2 >= 0 AND vx.date_of_text(concat($1)) IS NOT NULL
               THEN vx.convert_text(vx.date_of_text(concat($1)), $2, $3)
               WHEN $3 >= 0 THEN left(concat($1), $3) ELSE concat($1) END::bpchar $$;
CREATE OR REPLACE FUNCTION vx.convert_text(anynonarray, integer, integer) RETURNS bpchar LANGUAGE sql STABLE STRICT AS
$$ SELECT CASE WHEN $3 >= 0 THEN left(concat($1), $3) ELSE concat($1) END::bpchar $$;

-- Dates: the parts of DATEADD, DATEDIFF and DATEPART by their names and abbreviations.
CREATE OR REPLACE FUNCTION vx.date_part_name(part text, fn text) RETURNS text LANGUAGE sql IMMUTABLE AS
$$ SELECT CASE lower(part)
    WHEN 'year' THEN 'year' WHEN 'yy' THEN 'year' WHEN 'yyyy' THEN 'year'
    WHEN 'quarter' THEN 'quarter' WHEN 'qq' THEN 'quarter' WHEN 'q' THEN 'quarter'
    WHEN 'month' THEN 'month' WHEN 'mm' THEN 'month' WHEN 'm' THEN 'month'
    WHEN 'dayofyear' THEN 'dayofyear' WHEN 'dy' THEN 'dayofyear' WHEN 'y' THEN 'dayofyear'
    WHEN 'day' THEN 'day' WHEN 'dd' THEN 'day' WHEN 'd' THEN 'day'
    WHEN 'week' THEN 'week' WHEN 'wk' THEN 'week' WHEN 'ww' THEN 'week'
    WHEN 'weekday' THEN 'weekday' WHEN 'dw' THEN 'weekday' WHEN 'w' THEN 'weekday'
    WHEN 'hour' THEN 'hour' WHEN 'hh' THEN 'hour'
    WHEN 'minute' THEN 'minute' WHEN 'mi' THEN 'minute' WHEN 'n' THEN 'minute'
    WHEN 'second' THEN 'second' WHEN 'ss' THEN 'second' WHEN 's' THEN 'second'
    WHEN 'millisecond' THEN 'millisecond' WHEN 'ms' THEN 'millisecond'
    ELSE vx.fail('Invalid parameter 1 specified for ' || fn || '.') END $$;

CREATE OR REPLACE FUNCTION vx.dateadd(part text, n float8, d timestamp) RETURNS timestamp LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT (d + CASE vx.date_part_name(part, 'dateadd')
    WHEN 'year' THEN make_interval(months => trunc(n)::integer * 12)
    WHEN 'quarter' THEN make_interval(months => trunc(n)::integer * 3)
    WHEN 'month' THEN make_interval(months => trunc(n)::integer)
    WHEN 'week' THEN make_interval(days => trunc(n)::integer * 7)
    WHEN 'hour' THEN trunc(n) * interval '1 hour'
    WHEN 'minute' THEN trunc(n) * interval '1 minute'
    WHEN 'second' THEN trunc(n) * interval '1 second'
    WHEN 'millisecond' THEN trunc(n) * interval '1 millisecond'
    ELSE make_interval(days => trunc(n)::integer) END)::timestamp(3) $$;

-- DATEDIFF counts the boundaries of the part between the two dates; weeks begin on Sundays.
CREATE OR REPLACE FUNCTION vx.datediff(part text, a timestamp, b timestamp) RETURNS integer LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT (CASE vx.date_part_name(part, 'datediff')
    WHEN 'year' THEN extract(year FROM b) - extract(year FROM a)
    WHEN 'quarter' THEN (extract(year FROM b) * 4 + extract(quarter FROM b)) - (extract(year FROM a) * 4 + extract(quarter FROM a))
    WHEN 'month' THEN (extract(year FROM b) * 12 + extract(month FROM b)) - (extract(year FROM a) * 12 + extract(month FROM a))
    WHEN 'week' THEN floor(((b::date - date '1899-12-30') + 6) / 7.0) - floor(((a::date - date '1899-12-30') + 6) / 7.0)
    WHEN 'hour' THEN (extract(epoch FROM date_trunc('hour', b)) - extract(epoch FROM date_trunc('hour', a))) / 3600
    WHEN 'minute' THEN (extract(epoch FROM date_trunc('minute', b)) - extract(epoch FROM date_trunc('minute', a))) / 60
    WHEN 'second' THEN extract(epoch FROM date_trunc('second', b)) - extract(epoch FROM date_trunc('second', a))
    WHEN 'millisecond' THEN round((extract(epoch FROM b) - extract(epoch FROM a)) * 1000)
    ELSE b::date - a::date END)::integer $$;

-- DATEPART: weeks and week days begin on Mondays, as with the Polish language setting.
CREATE OR REPLACE FUNCTION vx.datepart(part text, d timestamp) RETURNS integer LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT (CASE vx.date_part_name(part, 'datepart')
    WHEN 'year' THEN extract(year FROM d)
    WHEN 'quarter' THEN extract(quarter FROM d)
    WHEN 'month' THEN extract(month FROM d)
    WHEN 'dayofyear' THEN extract(doy FROM d)
    WHEN 'week' THEN floor((extract(doy FROM d) - 1 + extract(isodow FROM date_trunc('year', d)) - 1) / 7) + 1
    WHEN 'weekday' THEN extract(isodow FROM d)
    WHEN 'hour' THEN extract(hour FROM d)
    WHEN 'minute' THEN extract(minute FROM d)
    WHEN 'second' THEN floor(extract(second FROM d))
    WHEN 'millisecond' THEN floor(extract(milliseconds FROM d)) - floor(extract(second FROM d)) * 1000
    ELSE extract(day FROM d) END)::integer $$;
CREATE OR REPLACE FUNCTION vx.year(timestamp) RETURNS integer LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT extract(year FROM $1)::integer $$;
CREATE OR REPLACE FUNCTION vx.month(timestamp) RETURNS integer LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT extract(month FROM $1)::integer $$;
CREATE OR REPLACE FUNCTION vx.day(timestamp) RETURNS integer LANGUAGE sql IMMUTABLE STRICT AS
$$ SELECT extract(day FROM $1)::integer $$;
)sql";

std::string Expand(const std::string& statement) {
  const bool any = statement.find("@T") != std::string::npos;
  if (!any && statement.find("@S") == std::string::npos) return statement;
  std::string out;
  for (const char* type : {"bpchar", "text", "varchar", "anynonarray"}) {
    if (!any && std::string(type) == "anynonarray") continue;
    std::string copy = statement;
    for (const char* marker : {"@T", "@S"})
      for (std::size_t at = copy.find(marker); at != std::string::npos; at = copy.find(marker))
        copy.replace(at, 2, type);
    out += copy;
  }
  return out;
}

}  // namespace

std::string PgSupportScript() {
  // Statements end with ";" at the end of a line.
  const std::string script = kScript;
  std::string out, statement;
  std::size_t start = 0;
  while (start < script.size()) {
    std::size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    const std::string line = script.substr(start, end - start);
    statement += line + "\n";
    if (!line.empty() && line.back() == ';') {
      out += Expand(statement);
      statement.clear();
    }
    start = end + 1;
  }
  out += statement;
  out += "CREATE OR REPLACE FUNCTION vx.version() RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT " +
         std::to_string(kPgSupportVersion) + " $$;\n";
  return out;
}

}  // namespace platform::ado
