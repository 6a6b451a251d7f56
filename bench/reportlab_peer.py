#!/usr/bin/python3
"""The peer of bench_report: python3-reportlab drawing the listing's rows and columns,
one drawString per cell, with as many pages as the engine made.
    reportlab_peer.py DATABASE PAGES OUT.pdf"""
import sqlite3, sys, time
from reportlab.lib.pagesizes import A4, landscape
from reportlab.pdfgen import canvas

db, pages, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
start = time.time()
rows = sqlite3.connect(db).execute(
    "SELECT D.DTENTRADA, D.CDFILIAL, D.IDENTRSAIDOP, D.CDTIPOOPER, T.NMTIPOOPER, D.NRDOCUMENTO,"
    " D.CDCLIFOR, D.NMCLIFOR, D.VLDOCUMENTO, D.VLRETENCAO FROM DOCFISCAL D"
    " LEFT JOIN TIPOOPERAC T ON (T.IDENTRSAIDOP = D.IDENTRSAIDOP AND T.CDTIPOOPER = D.CDTIPOOPER)"
    " ORDER BY D.CDEMPRESA, D.DTENTRADA, D.CDFILIAL, D.IDENTRSAIDOP, D.NRDOCUMENTO")
widths = [8, 5, 6, 4, 16, 10, 12, 27, 13, 11]
w, h = landscape(A4)
x, left = [], 28.35
for share in widths:
    x.append(left)
    left += (w - 56.7) * share / sum(widths)
rows = list(rows)
per_page = -(-len(rows) // pages)
c = canvas.Canvas(out, pagesize=(w, h))
for p in range(pages):
    c.setFont("Helvetica-Bold", 12)
    c.drawCentredString(w / 2, h - 40, "Listagem dos Documentos")
    c.setFont("Helvetica", 7.5)
    y = h - 80
    for r in rows[p * per_page:(p + 1) * per_page]:
        for i, v in enumerate(r):
            text = v if isinstance(v, str) else ("%.2f" % v).replace(".", ",")
            c.drawString(x[i] + 2.8, y, text)
        y -= 12
    c.drawRightString(w - 28.35, 30, "Página %d de %d" % (p + 1, pages))
    c.showPage()
c.save()
print("reportlab: %.2f s, %d pages" % (time.time() - start, pages))
