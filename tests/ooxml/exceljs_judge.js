// ExcelJS, a JavaScript reader and writer of .xlsx from the npm registry, for the template tests:
//   node exceljs_judge.js write IN.xlsx OUT.xlsx   reads the template and saves it again
//   node exceljs_judge.js read FILE...             prints JSON: for each file, its sheets in order,
//                                                  each {"name", "cells": {"A1": value}} where a
//                                                  value is {"t": "s"|"n"|"d"|"f", "v": ...}
// NODE_PATH names the folder that holds exceljs.
"use strict";
const ExcelJS = require("exceljs");

function value(cell) {
  const v = cell.value;
  if (v === null || v === undefined || v === "") return null;
  if (typeof v === "number") return { t: "n", v };
  if (typeof v === "string") return { t: "s", v };
  if (v instanceof Date) return { t: "d", v: v.toISOString().slice(0, 10) };
  if (typeof v === "object" && ("formula" in v || "sharedFormula" in v)) return { t: "f" };
  if (typeof v === "object" && "richText" in v) return { t: "s", v: v.richText.map((r) => r.text).join("") };
  return { t: "s", v: String(v) };
}

async function read(files) {
  const out = {};
  for (const file of files) {
    const book = new ExcelJS.Workbook();
    await book.xlsx.readFile(file);
    const sheets = [];
    book.eachSheet((sheet) => {
      const cells = {};
      sheet.eachRow({ includeEmpty: false }, (row) => {
        row.eachCell({ includeEmpty: false }, (cell) => {
          // ExcelJS gives every cell of a merged range its first cell's value: that one alone counts.
          if (cell.isMerged && cell.master.address !== cell.address) return;
          const v = value(cell);
          if (v) cells[cell.address] = v;
        });
      });
      sheets.push({ name: sheet.name, cells });
    });
    out[file] = sheets;
  }
  process.stdout.write(JSON.stringify(out));
}

async function write(source, target) {
  const book = new ExcelJS.Workbook();
  await book.xlsx.readFile(source);
  await book.xlsx.writeFile(target);
}

const [verb, ...args] = process.argv.slice(2);
const done = verb === "read" ? read(args) : verb === "write" && args.length === 2 ? write(...args) : null;
if (!done) {
  process.stderr.write("usage: exceljs_judge.js write IN OUT | read FILE...\n");
  process.exit(2);
}
done.catch((e) => {
  process.stderr.write(String(e && e.stack ? e.stack : e) + "\n");
  process.exit(1);
});
