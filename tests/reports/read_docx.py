"""Dumps what a .docx holds, as JSON, read with python-docx (not our code)."""
import json
import sys

import docx
from docx.oxml.ns import qn

doc = docx.Document(sys.argv[1])
sec = doc.sections[0]
out = {
    "margins": [sec.left_margin.pt, sec.right_margin.pt, sec.top_margin.pt, sec.bottom_margin.pt],
    "portrait": sec.orientation == docx.enum.section.WD_ORIENT.PORTRAIT,
    "tables": [],
    "widths": [],
    "paragraphs": [],
    "pictures": len(doc.inline_shapes),
    "bookmarks": {},
}
for t in doc.tables:
    out["tables"].append([[c.text for c in row.cells] for row in t.rows])
    grid = t._tbl.tblGrid
    out["widths"].append([round(int(g.get(qn("w:w"))) / 20.0, 2) for g in grid.findall(qn("w:gridCol"))])
for p in doc.paragraphs:
    runs = [r for r in p.runs if r.text]
    size = runs[0].font.size.pt if runs and runs[0].font.size else None
    out["paragraphs"].append({
        "text": p.text,
        "bold": bool(runs and runs[0].bold),
        "size": size,
        "center": p.alignment is not None and int(p.alignment) == 1,
        "picture": bool(p._p.findall(".//" + qn("w:drawing"))),
    })
# Bookmark texts: the runs between each bookmarkStart and its bookmarkEnd.
body = doc.element.body
active = {}
for el in body.iter():
    if el.tag == qn("w:bookmarkStart"):
        active[el.get(qn("w:id"))] = el.get(qn("w:name"))
        out["bookmarks"][el.get(qn("w:name"))] = ""
    elif el.tag == qn("w:bookmarkEnd"):
        active.pop(el.get(qn("w:id")), None)
    elif el.tag == qn("w:t"):
        for name in active.values():
            out["bookmarks"][name] += el.text or ""
json.dump(out, sys.stdout, ensure_ascii=False)
