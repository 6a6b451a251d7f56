#!/usr/bin/python3
"""The peer of bench_report: python3-reportlab drawing the shipped listing's rows, its
columns (same widths, alignments and formats), group headers, zebra rows and sums, one
draw call per cell, on as many pages as the engine made.
    reportlab_peer.py DATABASE REPORT.json PAGES OUT.pdf"""
import json, sqlite3, sys, time
from reportlab.lib.pagesizes import A4, landscape
from reportlab.pdfgen import canvas

db, report, pages, out = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
start, cpu = time.time(), time.process_time()
d = json.load(open(report, encoding="utf-8"))
params = {"P_CDEMPRESA": "T", "P_CDINSCESTA": "T", "P_CDINSCMUNI": "T", "P_CDFILIAL": "T",
          "P_IDENTRSAID": "A", "P_DTENTRINI": "2000-01-01", "P_DTENTRFIM": "2100-01-01"}
cursor = sqlite3.connect(db).execute("\n".join(d["query"]["SQL"]), params)
names = [c[0] for c in cursor.description]
columns = d["columns"]
index = [names.index(c["field"]) for c in columns]
group = names.index(d["group"]["field"])


def money(v):
    cents = round((v or 0) * 100)
    s = "{:,}".format(abs(cents) // 100).replace(",", ".") + ",%02d" % (abs(cents) % 100)
    return "-" + s if cents < 0 else s


def text(v, c):
    if v is None:
        return ""
    f = c.get("format", "text")
    if f == "date":
        return "%s/%s/%s" % (v[8:10], v[5:7], v[0:4])
    if f == "money":
        return money(v)
    s = str(v).strip()
    if f == "cnpjcpf" and len(s) == 14:
        s = "%s.%s.%s/%s-%s" % (s[:2], s[2:5], s[5:8], s[8:12], s[12:])
    return c.get("values", {}).get(s, s)


w, h = landscape(A4)
margin = 28.35
share = sum(c["width"] for c in columns)
x = [margin]
for c in columns:
    x.append(x[-1] + (w - 2 * margin) * c["width"] / share)
rows = cursor.fetchall()
per_page = -(-len(rows) // pages)
pdf = canvas.Canvas(out, pagesize=(w, h))
total = [0.0, 0.0]
key = None
for p in range(pages):
    pdf.setFont("Helvetica-Bold", 12)
    pdf.drawCentredString(w / 2, h - 40, d["title"])
    pdf.setFillGray(0.88)
    pdf.rect(margin, h - 75, w - 2 * margin, 12, stroke=0, fill=1)
    pdf.setFillGray(0)
    pdf.setFont("Helvetica-Bold", 7.5)
    for i, c in enumerate(columns):
        pdf.drawString(x[i] + 2.8, h - 72, c["title"])
    y = h - 90
    for n, r in enumerate(rows[p * per_page:(p + 1) * per_page]):
        if r[group] != key:
            key = r[group]
            pdf.setFont("Helvetica-Bold", 7.5)
            pdf.drawString(margin + 2.8, y, "Empresa: %s - %s" % (r[0], r[1]))
            y -= 12
        if n % 2:
            pdf.setFillGray(0.96)
            pdf.rect(margin, y - 3, w - 2 * margin, 12, stroke=0, fill=1)
            pdf.setFillGray(0)
        pdf.setFont("Helvetica", 7.5)
        for i, c in enumerate(columns):
            s = text(r[index[i]], c)
            align = c.get("alignment", "left")
            if align == "right":
                pdf.drawRightString(x[i + 1] - 2.8, y, s)
            elif align == "center":
                pdf.drawCentredString((x[i] + x[i + 1]) / 2, y, s)
            else:
                pdf.drawString(x[i] + 2.8, y, s)
        total[0] += r[names.index("VLDOCUMENTO")] or 0
        total[1] += r[names.index("VLRETIDO")] or 0
        y -= 12
    if p == pages - 1:
        pdf.setFont("Helvetica-Bold", 7.5)
        pdf.drawString(margin + 2.8, y, "Total geral - Documentos: %d" % len(rows))
        pdf.drawRightString(x[-2] - 2.8, y, money(total[0]))
        pdf.drawRightString(x[-1] - 2.8, y, money(total[1]))
    pdf.setFont("Helvetica", 6.5)
    pdf.drawRightString(w - margin, 30, "Página %d de %d" % (p + 1, pages))
    pdf.showPage()
pdf.save()
print("reportlab: %.2f s (cpu %.2f s), %d pages, %d rows, %d columns" %
      (time.time() - start, time.process_time() - cpu, pages, len(rows), len(columns)))
