#!/usr/bin/env python3
"""Writes the generated part of the HTML corpus: auction descriptions in the shapes sellers
produce (tables, inline styles, scripts, entities, Polish text in several entity forms, broken
markup). Deterministic: the same files on every run.  Usage: generate.py [output-dir]"""
import os
import random
import sys

POLISH = "Zażółć gęślą jaźń. Łódź, Kraków, Gdańsk, Wrocław: Świetny stan, nówka sztuka, źdźbło."

def numeric_dec(t):
    return "".join("&#%d;" % ord(c) if ord(c) > 127 else c for c in t)

def numeric_hex(t, upper=False):
    f = "&#X%X;" if upper else "&#x%x;"
    return "".join(f % ord(c) if ord(c) > 127 else c for c in t)

NAMED = {"ó": "&oacute;", "Ó": "&Oacute;", "é": "&eacute;", "ü": "&uuml;", "ä": "&auml;"}

def named_where_possible(t):
    return "".join(NAMED.get(c, "&#%d;" % ord(c) if ord(c) > 127 else c) for c in t)

def page(title, body, head_extra="", crlf=False, doctype=True):
    lines = []
    if doctype:
        lines.append('<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">')
    lines += ["<HTML>", "<HEAD>", '<META http-equiv="Content-Type" content="text/html; charset=windows-1250">',
              "<TITLE>%s</TITLE>" % title, head_extra, "</HEAD>", '<BODY bgcolor="#FFFFFF">', body,
              "</BODY>", "</HTML>"]
    return ("\r\n" if crlf else "\n").join(lines) + "\n"

def table_description(rnd):
    rows = []
    for i in range(12):
        rows.append('  <tr bgcolor="%s"><td width="30%%"><b>%s</b></td><td style="color:#333">%s</td></tr>'
                    % (rnd.choice(["#EEEEEE", "#FFFFFF"]), rnd.choice(["Stan", "Kolor", "Rozmiar", "Waga", "Marka"]),
                       rnd.choice(["nowy", "używany &ndash; jak nowy", "czerwony", "XL", "2,5&nbsp;kg", "Łucznik"])))
    body = ('<table border=1 cellpadding="4" style="font-family: Verdana; font-size: 10pt">\n'
            "  <TR><TH>Cecha</TH><TH>Opis</TH></TR>\n" + "\n".join(rows) + "\n</table>\n"
            '<p align=center><font color="red" size=+2>WYSYŁKA W 24H!!!</font></p>\n'
            "<ul><li>Paczka pocztowa &ndash; 12,50&nbsp;zł<li>Kurier &ndash; 18,00&nbsp;zł<li>Odbiór osobisty</ul>\n")
    return page("Aukcja: wiertarka udarowa", body)

def scripts_and_styles():
    head = ('<style type="text/css">\n  .opis { color: #202020; }\n  td { padding: 2px }\n</style>\n'
            '<script language="JavaScript">var licznik = 0; function pokaz() { return a < b && c > d; }</script>')
    body = ('<script type="text/javascript">document.write("<b>Licznik</b>");</script>\n'
            "<div class=opis>Sprzedam rower górski, rama 19 cali.</div>\n"
            '<SCRIPT>licznik++;</SCRIPT> Tekst pomiędzy skryptami zostaje. <script src="x.js"></script>\n'
            "<style>p { margin: 0 }</style><p>Akapit po stylu.</p>\n"
            "<noscript>Włącz JavaScript</noscript>\n")
    return page("Rower", body, head)

def entities_mix():
    body = ("<p>Cena: 100&nbsp;zł &bull; Firma &quot;Kowalski &amp; Syn&quot; &copy; 2008 &reg; Marka&trade;</p>\n"
            "<p>1 &lt; 2 &gt; 0, &lt;b&gt;pogrubienie&lt;/b&gt;, &lsaquo;cytat&rsaquo;, 1&frasl;2</p>\n"
            "<p>Fish & Chips; ok. AT&T; R&D; a&b;c &unknown; &averylongname; &#8364; &#x20AC; &euro;</p>\n"
            "<p>&#150; Windows dash &#147;cudzysłów&#148; &#0; &#x110000; &#xD800;</p>\n"
            "<p>" + numeric_dec(POLISH) + "</p>\n<p>" + numeric_hex(POLISH) + "</p>\n<p>" +
            numeric_hex(POLISH, True) + "</p>\n<p>" + named_where_possible(POLISH) + "</p>\n<p>" + POLISH + "</p>\n")
    return page("Encje", body)

def broken_markup(rnd):
    parts = ["<p>Niedomknięty <b>pogrubiony <i>kursywa</p>", "<td>komórka bez tabeli", "< br >< BR>< br / >",
             "<li class=x>element<li>drugi", "<!-- komentarz <b>ukryty</b> -->", "<!-- niedomknięty komentarz",
             "a < b i c > d", "<img src=\"foto.jpg\" alt=\"Zdjęcie > opis\">", "<<b>>podwójne<</b>>",
             "< / script >", "<scripts>to nie skrypt</scripts>", "<pre>  kod  </pre><param name=x><thead><track>",
             "&amp;amp;", "&nbsp;&nbsp;dwie spacje", "\t\ttabulatory\t", "słowo <b> </b> słowo"]
    rnd.shuffle(parts)
    return page("Zepsuty HTML", "\n".join(parts), crlf=True, doctype=False)

def one_line_page():
    return ('<!DOCTYPE html><html lang="pl"><head><meta charset="utf-8"><title>Jedna linia</title>'
            "<style>b{color:red}</style></head><body><h1>Aukcja</h1><p>Opis w jednej linii &oacute;</p>"
            "<script>x=1</script><p>Koniec</p></body></html>\n")

def word_export(rnd):
    paras = []
    for i in range(20):
        words = " ".join(rnd.choice(["Oferuję", "sprzedaż", "używanego", "telefonu", "w", "bardzo", "dobrym",
                                     "stanie", "&#8222;jak&nbsp;nowy&#8221;", "gwarancja", "faktura&nbsp;VAT"])
                         for _ in range(rnd.randint(5, 25)))
        paras.append('<p class=MsoNormal style=\'margin-left:35.4pt;mso-bidi-font-weight:bold\'>'
                     '<span style=\'font-size:10.0pt;font-family:"Arial CE"\'>%s<o:p></o:p></span></p>' % words)
    head = "<!--[if gte mso 9]><xml><w:WordDocument></w:WordDocument></xml><![endif]-->"
    return page("Word", "\n".join(paras), head, crlf=True)

def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "generated")
    os.makedirs(out, exist_ok=True)
    rnd = random.Random(20081208)
    files = {
        "table-description.html": table_description(rnd),
        "scripts-and-styles.html": scripts_and_styles(),
        "entities-polish.html": entities_mix(),
        "broken-markup.html": broken_markup(rnd),
        "one-line-page.html": one_line_page(),
        "word-export.html": word_export(rnd),
    }
    for name, text in files.items():
        with open(os.path.join(out, name), "w", encoding="utf-8", newline="") as f:
            f.write(text)
    # A page saved in the Windows code page, as older editors did: its bytes are not UTF-8.
    with open(os.path.join(out, "cp1250-page.html"), "w", encoding="cp1250", newline="") as f:
        f.write(page("Strona w windows-1250", "<p>" + POLISH + "</p><p>Cena: 15&nbsp;zł</p>", crlf=True))

if __name__ == "__main__":
    main()
