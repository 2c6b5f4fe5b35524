"""Dumps what a .docx holds, as JSON, read with python-docx (not our code)."""
import hashlib
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
out["layout"] = []
def cell_text(tc):
    # What python-docx's cell.text gives, read straight from the XML: its row.cells walks the
    # whole table for every row, which takes minutes on a table of a thousand rows.
    return "\n".join("".join(t.text or "" for t in p.iter(qn("w:t"))) for p in tc.findall(qn("w:p")))
for t in doc.tables:
    out["tables"].append([[cell_text(tc) for tc in tr.findall(qn("w:tc"))]
                          for tr in t._tbl.findall(qn("w:tr"))])
    grid = t._tbl.tblGrid
    out["widths"].append([round(int(g.get(qn("w:w"))) / 20.0, 2) for g in grid.findall(qn("w:gridCol"))])
    rows = t._tbl.findall(qn("w:tr"))
    def kept(tr):
        return all(p.find(qn("w:pPr") + "/" + qn("w:keepNext")) is not None
                   for p in tr.iter(qn("w:p")))
    prev = t._tbl.getprevious()
    layout = t._tbl.find(qn("w:tblPr") + "/" + qn("w:tblLayout"))
    def alignment(cell):
        p = cell.paragraphs[0]
        a = p.alignment if p.alignment is not None else p.style.paragraph_format.alignment
        return int(a) if a is not None else 0
    body = [alignment(c) for c in t.rows[1].cells] if len(t.rows) > 1 else []
    out["layout"].append({
        "bodyAlign": body,
        "fixed": layout is not None and layout.get(qn("w:type")) == "fixed",
        "header": [tr.find(qn("w:trPr") + "/" + qn("w:tblHeader")) is not None for tr in rows[:2]],
        "cantSplit": all(tr.find(qn("w:trPr") + "/" + qn("w:cantSplit")) is not None for tr in rows),
        # every row but the last keeps with the next: the table stays on one page
        "together": all(kept(tr) for tr in rows[:-1]) and not kept(rows[-1]),
        "keptBefore": prev is not None and prev.tag == qn("w:p") and
                      prev.find(qn("w:pPr") + "/" + qn("w:keepNext")) is not None,
        "pageBefore": prev is not None and prev.tag == qn("w:p") and
                      prev.find(qn("w:pPr") + "/" + qn("w:pageBreakBefore")) is not None,
    })
for p in doc.paragraphs:
    runs = [r for r in p.runs if r.text]
    size = runs[0].font.size.pt if runs and runs[0].font.size else None
    out["paragraphs"].append({
        "text": p.text,
        "bold": bool(runs and runs[0].bold),
        "size": size,
        "center": p.alignment is not None and int(p.alignment) == 1,
        "picture": bool(p._p.findall(".//" + qn("w:drawing"))),
        "keepNext": p.paragraph_format.keep_with_next is True,
        "pageBreak": p.paragraph_format.page_break_before is True,
        "outline": p._p.find(qn("w:pPr") + "/" + qn("w:outlineLvl")) is not None,
        "fields": [i.text.strip() for i in p._p.iter(qn("w:instrText"))],
    })
# Pictures: pixels of the stored image and the size printed, in points.
out["pictureSizes"] = []
out["pictureHashes"] = []
for shape in doc.inline_shapes:
    blip = shape._inline.graphic.graphicData.pic.blipFill.blip
    image = doc.part.related_parts[blip.embed].image
    out["pictureHashes"].append(hashlib.sha256(image.blob).hexdigest())
    out["pictureSizes"].append([image.px_width, image.px_height,
                                shape.width.pt, shape.height.pt])
footer = sec.footer
out["footerFields"] = [i.text.strip() for i in footer._element.iter(qn("w:instrText"))]
out["footerText"] = "\n".join(p.text for p in footer.paragraphs)
core = doc.core_properties
out["core"] = {"title": core.title, "language": core.language,
               "created": core.created.isoformat() if core.created else None}
settings = doc.settings.element
out["compatibilityMode"] = None
for cs in settings.iter(qn("w:compatSetting")):
    if cs.get(qn("w:name")) == "compatibilityMode":
        out["compatibilityMode"] = cs.get(qn("w:val"))
lang = settings.find(qn("w:themeFontLang"))
out["themeLanguage"] = lang.get(qn("w:val")) if lang is not None else None
# For each picture, whether the section holding it is laid out on landscape pages: a section
# ends at a paragraph whose properties hold a sectPr, the last one at the body's own sectPr.
out["pictureLandscape"] = []
pending = 0
for el in doc.element.body.iter():
    if el.tag == qn("w:drawing"):
        pending += 1
    elif el.tag == qn("w:sectPr"):
        size = el.find(qn("w:pgSz"))
        landscape = size is not None and size.get(qn("w:orient")) == "landscape"
        out["pictureLandscape"] += [landscape] * pending
        pending = 0
update = settings.find(qn("w:updateFields"))
out["updateFields"] = update is not None and update.get(qn("w:val")) in ("true", "1", "on")
out["parts"] = sorted(p.partname for p in doc.part.package.iter_parts())
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
