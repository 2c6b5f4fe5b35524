"""The same tables written with python-docx and openpyxl, for comparison with our writers.

Usage: python_writers.py docx|xlsx|xlsx-normal ROWS OUT
(xlsx: openpyxl's write-only mode, its fastest; xlsx-normal: an ordinary workbook)
Prints the seconds taken.
"""
import sys
import time

kind, rows, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
start = time.perf_counter()
if kind == "docx":
    import docx
    doc = docx.Document()
    table = doc.add_table(rows=0, cols=5)
    for i in range(rows):
        cells = table.add_row().cells
        r = i + 1
        texts = (str(r), "%.3f" % (10.0 / r), "%.3f" % (980.0 / r), "%.3f" % (600.0 / r), "%.2f" % (5.0 - r / rows))
        for c, t in zip(cells, texts):
            c.text = t
    doc.save(out)
else:
    import openpyxl
    from openpyxl.styles import Font
    wb = openpyxl.Workbook(write_only=(kind == "xlsx"))
    if kind == "xlsx":
        ws = wb.create_sheet("Исходные данные")
    else:
        ws = wb.active
        ws.title = "Исходные данные"
    ws.column_dimensions["A"].width = 15
    ws.column_dimensions["B"].width = 29
    ws.column_dimensions["C"].width = 38
    ws.append(["Числовые результаты расчета на заданном удалении"])
    ws.append(["Расстояние, м", "Давление, кгс/кв.см", "Давление, кПа"])
    for i in range(rows):
        r = i + 1
        ws.append([r, round(10.0 / r, 3), round(980.0 / r, 3)])
    wb.save(out)
print("%.6f" % (time.perf_counter() - start))
