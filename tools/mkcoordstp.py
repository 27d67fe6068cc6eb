#!/usr/bin/env python3
"""Writes the stand-in coordinate files (resources/USR/FR2024/Res/CoordStp/*.xml).

The layout is ours: three columns of rows 6 mm apart, every field of the
catalogue that the form shows, in catalogue order. Attributes the program does
not read (Title, Rigo, RigoX, Caption, BoxDx, BoxWidth, Cells) tell
zur-mkirapmod what to draw on the stand-in model, so the model and the
coordinates can never disagree. Run from the repository root, then run
zur-mkirapmod.
"""
import re
import sys
from xml.sax.saxutils import quoteattr

SRC = "src/declaration/ZurCatalogue.cpp"
OUT = "resources/USR/FR2024/Res/CoordStp/"
text = open(SRC, encoding="utf-8").read()


def names(array):
    body = re.search(r"constexpr const char\* %s\[\] = \{(.*?)\};" % array, text, re.S).group(1)
    return re.findall(r'"([A-Z0-9_]+)"', body)


# Store keys and fields that exist for the program's own rules, not on paper.
NOT_ON_FORM = {"IIRAPID", "LIRAPSESSO", "DIRAPSEDELEGALE", "DIRAPDOMFISCALE"}
CELLS = [("CODFIS", 16), ("PARTITAIVA", 11), ("CAP", 5), ("PROVINCIA", 2), ("CODREG", 2),
         ("AGEREGIONE", 4), ("CODCOMUNE", 4), ("NATURAGIURIDICA", 2), ("CODCARICA", 2), ("ATECO", 6),
         ("SITPARTCOD", 2), ("MODULECOUNT", 2)]
COLS = (12, 77, 142)
ROW0, PITCH, ROWS = 30, 6, 42
BOX = 52  # widest box of a column, mm


def caption(name, prefix):
    core = name[1:]
    if core.startswith(prefix):
        core = core[len(prefix):]
    return core.replace("_", " ").lower()


def edit_xml(name, rigo, rigo_x, cap, left, top, box_dx, box_w, cells, typ, align, height, space,
             ranges=((0, 0),), voff=0.0):
    rects = "".join(
        '        <PrintRect Top="%d" Left="%d" Height="%d" Space="%s" vOffset="%s" oOffset="0" '
        'MinIndex="%d" MaxIndex="%d" BoxDx="%s" BoxWidth="%s" Cells="%d"/>\n'
        % (t, left, height, space, voff, lo, hi, box_dx, box_w, cells) for (lo, hi, t) in
        [(r[0], r[1], top if len(r) < 3 else r[2]) for r in ranges])
    return ('      <Edit Name="%s" Alignment="%s" Type="%s" Rigo=%s RigoX="%d" Caption=%s>\n%s      </Edit>\n'
            % (name, align, typ, quoteattr(rigo), rigo_x, quoteattr(cap), rects))


def field_layout(name):
    """Type, alignment, text size, spacing, box width, cells and where the text starts in the box."""
    kind = name[0]
    for key, n in CELLS:
        if key in name and kind in "SI":
            pitch = 3.2
            typ = "CD" if n == 11 else "SP"
            return typ, "taLeftJustify", 8, pitch, round(n * pitch, 1), n, 0.0
    if kind == "L":
        return "CB", "taCenter", 8, 0, 4, 1, 2.0
    if kind == "D":
        return "DT", "taLeftJustify", 8, 3, 30, 10, 0.0
    if kind == "F":
        if "ALIQUOTA" in name:
            return "SP", "taRightJustify", 8, 0, 20, 0, 19.0
        return "TA", "taRightJustify", 8, 0, 30, 0, 29.0
    if kind == "I":
        return "SP", "taRightJustify", 8, 0, 16, 0, 15.0
    return "SP", "taLeftJustify", 6, 0, BOX, 0, 1.0


def grid_edits(fields, rigo_prefix, cap_prefix, first_row=0):
    out = []
    for i, name in enumerate(fields):
        slot = first_row + i
        col, row = divmod(slot, ROWS)
        if col >= len(COLS):
            sys.exit("too many fields for one page: " + name)
        x0 = COLS[col]
        top = ROW0 + row * PITCH + 5
        typ, align, height, space, box_w, cells, text_dx = field_layout(name)
        box_left = x0 + 9
        left = int(round(box_left + text_dx))
        out.append(edit_xml(name, "%s%d" % (rigo_prefix, i + 1), x0, caption(name, cap_prefix), left, top,
                            box_left - left, box_w, cells if space else 0, typ, align, height, space))
    return "".join(out)


def header(module_field):
    """Fiscal code of the declarant and module number at the head of a quadro page."""
    s = '    <Section Name="cdsFrontespizio" Repeat="">\n'
    s += edit_xml("SIRAPCODFIS", "", 12, "codice fiscale", 40, 22, 0, 51.2, 16, "SP", "taLeftJustify", 8, 3.2)
    s += "    </Section>\n"
    if module_field:
        s += '    <Section Name="cdsCampiAggiuntivi" Repeat="">\n'
        s += edit_xml(module_field, "", 150, "mod. n.", 180, 22, 0, 6.4, 2, "SP", "taLeftJustify", 8, 3.2)
        s += "    </Section>\n"
    return s


def page(name, template, title, body):
    return '  <Page Name="%s" Template="%d" Title=%s>\n%s  </Page>\n' % (name, template, quoteattr(title), body)


def section(component, title, edits):
    return '    <Section Name="%s" Repeat="" Title=%s>\n%s    </Section>\n' % (component, quoteattr(title), edits)


def write(fname, pages):
    with open(OUT + fname, "w", encoding="utf-8", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<PdfConf>\n%s</PdfConf>\n' % "".join(pages))


def split(lst, n):
    k = (len(lst) + n - 1) // n
    return [lst[i * k:(i + 1) * k] for i in range(n)]


front = [f for f in names("kFrontespizio") if f not in NOT_ON_FORM]
a, b = split(front, 2)
write("Frontespizio.xml", [
    page("INTESTA", 1, "MODELLO IRAP 2025 - Periodo d'imposta 2024 - Informativa e dati del contribuente",
         section("cdsFrontespizio", "Dati del contribuente e della dichiarazione", grid_edits(a, "FR", "IRAP"))),
    page("FRONTE", 2, "MODELLO IRAP 2025 - Frontespizio: firma, impegno e visto",
         section("cdsFrontespizio", "Dichiarante, firma della dichiarazione, impegno alla presentazione",
                 grid_edits(b, "FR", "IRAP") .replace('Rigo="FR', 'Rigo="FS'))),
])

ik = names("kQuadroIK")
write("QuadroIK.xml", [page("IK", 3, "QUADRO IK - Amministrazioni ed enti pubblici",
                             header("IIKMODULECOUNT") + section("cdsQuadroIK", "Sezione I - Determinazione del valore della produzione", grid_edits(ik, "IK", "IK")))])

ir = names("kQuadroIR")
# The regional rows: nine blocks, rows IR32..IR40, three lines of five boxes.
var_fields = ["SIRCODREGIONE", "SIRAGEREGIONE", "FIRBASEIMP", "FIRIMPOSTA", "FIRCREDITO", "FIRECCEDENZA",
              "FIRECC_COMP", "FIRTOTACCONTI", "FIRTOTACCONTI_TES", "FIRTOTACCONTIDOV", "FIRDEBITO", "FIRDEB_F24",
              "FIRDEB_TES", "FIRIMPCREDITO", "FIRECC_SALDO"]
BLOCK0, BLOCK = 36, 25.5  # halves of the pitch round to even: the model generator places boxes the same way
# The form carries the row codes IR32..IR40 itself (Rigo "#"), so RIGO is not printed.
var = ""
for j, name in enumerate(var_fields):
    line, col = divmod(j, 5)
    typ, align, height, space, box_w, cells, text_dx = field_layout(name)
    box_left = 28 + col * 36
    left = int(round(box_left + text_dx))
    top = BLOCK0 + line * 7 + 5
    var += edit_xml(name, "#" if j == 0 else "", 12, caption(name, "IR"), left, top, box_left - left, box_w,
                    cells if space else 0, typ, align, height, space,
                    ranges=((0, 4), (5, 8, top + 127)), voff=BLOCK)
write("QuadroIR.xml", [
    page("IR", 4, "QUADRO IR - Determinazione dell'imposta",
         header("IIRMODULECOUNT") + section("cdsQuadroIR", "Sezione I - Ripartizione per regioni e imposta", grid_edits(ir, "IR", "IR"))),
    page("IRVAR", 5, "QUADRO IR - Righi regionali (IR32 e seguenti)",
         header("IIRMODULECOUNT") + section("cdsQuadroIRVar", "Righi regionali", var)),
])

isf = names("kQuadroIS")
parts = split(isf, 4)
titles = ["Sezione I - Prospetto vari", "Sezione II - Crediti e deduzioni", "Sezione III - Aiuti di Stato",
          "Sezione IV - Zone franche e regimi agevolati"]
write("QuadroIS.xml", [
    page(n, 6 + i, "QUADRO IS - Prospetto vari (pagina %d)" % (i + 1),
         header("IISMODULECOUNT") + section("cdsQuadroIS", titles[i], grid_edits(parts[i], "IS", "IS")))
    for i, n in enumerate(["IS", "IS2", "IS3", "IS4"])
])
