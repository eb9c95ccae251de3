// The yardstick of the views benchmark: DuckDB answering the same questions on the same rows in
// UTF-8, each query reading the CSV file itself, as norvalis-check does. Prints one JSON line
// per query: {"name", "seconds", "rows"}.
import { DuckDBInstance } from '@duckdb/node-api';

const [file, out] = process.argv.slice(2);
const source = `(SELECT row_number() OVER () AS rn, * FROM read_csv('${file}', header = false,
  all_varchar = true, delim = ',', quote = '"'))`;
const queries = {
  differences_G: `SELECT rn, column06 FROM ${source} AS t WHERE column06 IS DISTINCT FROM
    (SELECT column06 FROM ${source} AS f WHERE rn = 1) ORDER BY rn`,
  values_G: `SELECT column06, count(*) AS n, min(rn) AS first FROM ${source} AS t GROUP BY column06
    ORDER BY n DESC, first`,
  values_C: `SELECT column02, count(*) AS n, min(rn) AS first FROM ${source} AS t GROUP BY column02
    ORDER BY n DESC, first`,
};
const instance = await DuckDBInstance.create(':memory:', { threads: '2' });
for (const [name, query] of Object.entries(queries)) {
  const connection = await instance.connect();
  const start = performance.now();
  // Listed to a file, as norvalis-check lists to its output.
  const result = await connection.run(
    `COPY (${query}) TO '${out}' (HEADER false, DELIMITER '\t')`);
  const seconds = (performance.now() - start) / 1000;
  const rows = Number((await result.getRowObjects())[0]?.Count ?? result.rowsChanged ?? 0);
  console.log(JSON.stringify({ name, seconds, rows }));
  connection.closeSync?.();
}
