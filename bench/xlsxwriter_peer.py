#!/usr/bin/python3
"""The peer of bench_export: python3-xlsxwriter in constant-memory mode writing the
listing's rows and columns as the exporter does (typed cells, header, frozen pane,
autofilter, widths, company subtotals and the grand total).
    xlsxwriter_peer.py ROWS.tsv OUT.xlsx
The rows are read and converted before the clock starts: only the writing is timed."""
import datetime, sys, time
import xlsxwriter

src, out = sys.argv[1], sys.argv[2]
# Columns of the TSV (bench_export's order) and of the sheet (the exporter's order).
fields = ["CDEMPRESA", "NMRAZSOCEMPR", "DTENTRADA", "DTEMISSAO", "CDFILIAL", "IDENTRSAIDOP",
          "CDTIPOOPER", "NMTIPOOPER", "CDMODELO", "CDSERIE", "NRDOCUMENTO", "CDCLIFOR",
          "NMCLIFOR", "VLDOCUMENTO", "VLRETIDO"]
sheet = [("CDEMPRESA", "Empresa", 8.4, "text"), ("NMRAZSOCEMPR", "Razão Social", 42, "text"),
         ("DTENTRADA", "Entrada", 9.8, "date"), ("DTEMISSAO", "Emissão", 9.8, "date"),
         ("CDFILIAL", "Filial", 8, "text"), ("IDENTRSAIDOP", "E/S", 7, "text"),
         ("CDTIPOOPER", "Tipo", 6, "text"), ("NMTIPOOPER", "Tipo de Operação", 21, "text"),
         ("CDMODELO", "Mod.", 6, "text"), ("CDSERIE", "Série", 7, "text"),
         ("NRDOCUMENTO", "Documento", 11.2, "text"), ("CDCLIFOR", "CNPJ/CPF", 16.8, "text"),
         ("NMCLIFOR", "Cliente/Fornecedor", 30.8, "text"),
         ("VLDOCUMENTO", "Valor Documento", 17, "money"), ("VLRETIDO", "Valor Retido", 14, "money")]
at = [fields.index(f) for f, _, _, _ in sheet]
kinds = [k for _, _, _, k in sheet]


def cnpj_cpf(d):
    if len(d) == 14:
        return "%s.%s.%s/%s-%s" % (d[:2], d[2:5], d[5:8], d[8:12], d[12:])
    if len(d) == 11:
        return "%s.%s.%s-%s" % (d[:3], d[3:6], d[6:9], d[9:])
    return d


rows = []
with open(src, encoding="utf-8") as f:
    for line in f:
        v = line.rstrip("\n").split("\t")
        cells = []
        for i, kind in zip(at, kinds):
            x = v[i]
            if kind == "date":
                x = datetime.date.fromisoformat(x)
            elif kind == "money":
                x = float(x)
            elif fields[i] == "CDCLIFOR":
                x = cnpj_cpf(x)
            elif fields[i] == "IDENTRSAIDOP":
                x = {"E": "Entrada", "S": "Saída"}.get(x, x)
            cells.append(x)
        rows.append(cells)

start, cpu = time.time(), time.process_time()
wb = xlsxwriter.Workbook(out, {"constant_memory": True})
header = wb.add_format({"bold": True, "bottom": 1, "bg_color": "#E1E1E1"})
date = wb.add_format({"num_format": "dd/mm/yyyy"})
money = wb.add_format({"num_format": "#,##0.00"})
bold = wb.add_format({"bold": True})
bold_money = wb.add_format({"bold": True, "num_format": "#,##0.00"})
ws = wb.add_worksheet("Planilha1")
for c, (_, title, width, kind) in enumerate(sheet):
    ws.set_column(c, c, width, date if kind == "date" else None)
    ws.write_string(0, c, title, header)
ws.freeze_panes(1, 0)
summed = [c for c, k in enumerate(kinds) if k == "money"]
r, group, gsum, gcount, tsum = 1, None, [0.0] * len(summed), 0, [0.0] * len(summed)


def subtotal(caption, sums):
    global r
    ws.write_string(r, 0, caption, bold)
    for s, c in enumerate(summed):
        ws.write_number(r, c, sums[s], bold_money)
    r += 1


for cells in rows:
    if cells[0] != group:
        if gcount:
            subtotal("Total da empresa - Documentos: %d" % gcount, gsum)
        group, gsum, gcount = cells[0], [0.0] * len(summed), 0
    for c, x in enumerate(cells):
        kind = kinds[c]
        if kind == "date":
            ws.write_datetime(r, c, x, date)
        elif kind == "money":
            ws.write_number(r, c, x, money)
        elif x:
            ws.write_string(r, c, x)
    for s, c in enumerate(summed):
        gsum[s] += cells[c]
        tsum[s] += cells[c]
    gcount += 1
    r += 1
if gcount:
    subtotal("Total da empresa - Documentos: %d" % gcount, gsum)
r += 1
subtotal("Total geral - Documentos: %d" % len(rows), tsum)
ws.autofilter(0, 0, r - 1, len(sheet) - 1)
wb.close()
print("python3-xlsxwriter: %.2f s (cpu %.2f s), %d rows"
      % (time.time() - start, time.process_time() - cpu, len(rows)))
