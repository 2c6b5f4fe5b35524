"""Dumps what a workbook holds, as JSON, read with openpyxl (not our code)."""
import json
import sys

import openpyxl

wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]


def cell(c):
    return {"value": c.value, "bold": bool(c.font.b), "size": c.font.sz,
            "format": c.number_format, "numeric": c.data_type == "n",
            "wrap": bool(c.alignment.wrap_text)}


out = {
    "sheets": wb.sheetnames,
    "widths": [ws.column_dimensions[k].width for k in "ABC"],
    "maxRow": ws.max_row,
    "maxColumn": ws.max_column,
    "cells": {},
    "print": {
        "paper": ws.page_setup.paperSize,
        "orientation": ws.page_setup.orientation,
        "fitToPage": bool(ws.sheet_properties.pageSetUpPr is not None
                          and ws.sheet_properties.pageSetUpPr.fitToPage),
        # an absent attribute has the schema's default of 1
        "fitToWidth": 1 if ws.page_setup.fitToWidth is None else int(ws.page_setup.fitToWidth),
        "fitToHeight": 1 if ws.page_setup.fitToHeight is None else int(ws.page_setup.fitToHeight),
        "titleRows": str(ws.print_title_rows),
        "frozen": ws.freeze_panes,
        "footer": ws.oddFooter.center.text or "",
    },
}
for ref in sys.argv[2:]:
    out["cells"][ref] = cell(ws[ref])
json.dump(out, sys.stdout, ensure_ascii=False)
