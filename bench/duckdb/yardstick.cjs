// The yardstick for the rules and character benchmarks: DuckDB answering the nearest question
// it has on the same rows in UTF-8. Usage: node yardstick.cjs characters|rules FILE.csv
// Prints the number of rows counted, so the caller sees the query read the whole file.
const { DuckDBInstance } = require('@duckdb/node-api');

const columns = Array.from({ length: 15 }, (_, i) => `column${String(i).padStart(2, '0')}`);

// Per column: cells holding U+FFFD, a machine-dependent character from the NEC rows, a C1
// control, or a blank at either end: what the character check looks for, as regexps.
function charactersQuery() {
  const problem = "'\\x{FFFD}|[\\x{2460}-\\x{2473}\\x{2160}-\\x{2169}\\x{3231}\\x{3232}\\x{2116}" +
    "\\x{E000}-\\x{F8FF}]|[\\x{80}-\\x{9F}]|^[ \\t\\x{3000}]|[ \\t\\x{3000}]$'";
  return 'SELECT count(*) AS n, ' +
    columns.map((c) => `count(*) FILTER (WHERE regexp_matches(${c}, ${problem}))`).join(', ') +
    ' FROM t';
}

// One rule per column, each as the nearest SQL: regexp_full_match, length, count(DISTINCT), IN.
function rulesQuery(prefectures) {
  const list = prefectures.map((p) => `'${p}'`).join(',');
  const parts = [
    "count(*) FILTER (WHERE NOT regexp_full_match(column00, '\\d{5}'))",
    'count(*) FILTER (WHERE strlen(column01) <> 5)',
    'count(*) - count(DISTINCT column02)',
    "count(*) FILTER (WHERE NOT regexp_full_match(column03, '[\\x{FF61}-\\x{FF9F}]*'))",
    "count(*) FILTER (WHERE column04 IS NULL OR column04 = '')",
    'count(*) FILTER (WHERE length(column05) > 100)',
    `count(*) FILTER (WHERE column06 NOT IN (${list}))`,
    "count(*) FILTER (WHERE regexp_matches(column07, '[\\x{2460}-\\x{2473}\\x{3231}\\x{E000}-\\x{F8FF}]'))",
    "count(*) FILTER (WHERE regexp_matches(column08, '[\\x{10000}-\\x{10FFFF}]'))",
    "count(*) FILTER (WHERE column09 NOT IN ('0','1'))",
    'count(*) FILTER (WHERE TRY_CAST(column10 AS DECIMAL(38,10)) NOT BETWEEN 0 AND 1)',
    "count(*) FILTER (WHERE NOT regexp_full_match(column11, '[01]'))",
    'count(*) FILTER (WHERE length(column12) <> 1)',
    "count(*) FILTER (WHERE NOT regexp_full_match(column13, '[0-9]*'))",
    "count(*) FILTER (WHERE NOT regexp_full_match(column14, '[+-]?[0-9]+(\\.[0-9]+)?'))",
  ];
  return `SELECT count(*) AS n, ${parts.join(', ')} FROM t`;
}

async function main() {
  const [task, file, prefectureList] = process.argv.slice(2);
  const instance = await DuckDBInstance.create(':memory:');
  const connection = await instance.connect();
  const names = columns.map((c) => `'${c}': 'VARCHAR'`).join(', ');
  await connection.run(
    `CREATE VIEW t AS SELECT * FROM read_csv('${file}', header = false, columns = {${names}}, ` +
    "quote = '\"', escape = '\"', delim = ',')");
  const sql = task === 'characters' ? charactersQuery() : rulesQuery((prefectureList || '').split(','));
  const reader = await connection.runAndReadAll(sql);
  const row = reader.getRows()[0];
  console.log(String(row[0]));
}

main().catch((error) => {
  console.error(error.message);
  process.exit(1);
});
