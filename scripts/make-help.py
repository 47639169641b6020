#!/usr/bin/env python3
"""Writes help/Zelkavio.rtf, the program's help file, from the text below: Windows-1250 RTF as WordPad writes it
(\\ansicpg1250, a font with \\fcharset238, every byte above 127 as \\'hh). Run it after editing the text."""
import pathlib

TITLE = "Zelkavio – przeglądarka obrazów z opisami"

# Each entry: (style, text). Styles: h = heading, p = paragraph, i = list item (hanging indent), m = monospaced.
SECTIONS = [
    ("h", "Opisy wewnątrz obrazów"),
    ("p", "Zelkavio pokazuje obrazy BMP, JPEG, EMF i WMF z jednego katalogu. Każdy obraz może mieć opis: dowolny "
          "tekst zapisany w samym pliku obrazu, za jego własnymi bajtami, po znaczniku @||@. Nie ma osobnego pliku "
          "opisów ani bazy danych – opis wędruje razem z obrazem, a inne programy nadal widzą zwykły obraz."),
    ("h", "Menu główne"),
    ("i", "Katalog – wybór katalogu z obrazami; lista plików pokazuje jego obrazy (w menu podręcznym: Ctrl+D)."),
    ("i", "Edycja – polecenia przeglądania i opisów:"),
    ("i", "Poprzedni obraz (Ctrl+P) i Następny obraz (Ctrl+N) – krok po liście plików."),
    ("i", "Automatyczny pokaz obrazów (Ctrl+A) i Zatrzymanie (STOP) pokazu (F10)."),
    ("i", "Pokaż pole opisów i Ukryj  pole opisów – okno opisu na ekranie albo schowane."),
    ("i", "Zapis opisu (Ctrl+Z) – zapisuje opis do pliku obrazu. Uwaga: w tym programie Ctrl+Z zapisuje, "
          "a nie cofa zmian."),
    ("i", "Kasuj opis (Ctrl+K) – usuwa opis z pliku obrazu."),
    ("i", "Znajdź Frazę (Ctrl+F) – okno szukania frazy w plikach katalogu."),
    ("i", "Ustawienia – Kolor ekranu, Kolor pola opisów, Fonty (czcionka) opisów, Kolor fontów dolnego panela "
          "oraz Zapis ustawień."),
    ("i", "Pomoc – Wskazówki dla obsługi programu (F1), czyli to okno, oraz Autor programu."),
    ("i", "Koniec (Ctrl+X) – zamyka program."),
    ("h", "Menu podręczne"),
    ("p", "Prawy przycisk myszy w oknach przeglądarki otwiera menu podręczne: Katalog (Ctrl+D), Znajdź frazę "
          "(Ctrl+F), Pokaz poprzedniego obrazu (Ctrl+P), Pokaz następnego obrazu (Ctrl+N), Automatyczny pokaz "
          "obrazów (Ctrl+A), Zatrzymanie (STOP) pokazu (F10), Kasuj opis (Ctrl+K), Zapisz opis (Ctrl+Z), Pokaż i "
          "Ukryj pole opisów, Cofnij zmiany tekstu, Kopiuj do schowka, Wytnij do schowka, Wstaw tekst i Koniec "
          "(Ctrl+X)."),
    ("h", "Zapisywanie i kasowanie opisów"),
    ("p", "Opis wpisuje się w oknie opisu pod obrazem. Zapis opisu (Ctrl+Z) zastępuje stary opis nowym: bajty "
          "obrazu zostają nietknięte, a plik jest podmieniany w całości albo wcale, więc awaria, zabicie programu "
          "czy zanik zasilania w dowolnej chwili zostawia w pliku stary albo nowy opis, nigdy sam obraz. Gdy "
          "zapis nie kończy się komunikatem „Zapisano do pliku”, plik ma swój stary opis. Zapisany tekst zostaje "
          "też w schowku. Kasuj opis (Ctrl+K) usuwa bez pytania opis razem ze znacznikiem. Tekst opisu jest "
          "zapisywany w kodowaniu Windows-1250; tekstu ze znakami, których to kodowanie nie ma (np. cyrylicy), "
          "program nie zapisuje – komunikat wymienia te znaki, a pole opisu i plik zostają bez zmian."),
    ("p", "Plik z kilkoma nazwami (twardymi dowiązaniami): zapis opisu podmienia plik tylko pod pokazaną nazwą, "
          "więc pozostałe nazwy zachowują stary opis; kasowanie opisu obcina sam plik, więc opis znika też pod "
          "pozostałymi nazwami. Zapis zachowuje prawa dostępu, właściciela i grupę (gdy wolno), rozszerzone "
          "atrybuty i listy ACL pliku."),
    ("h", "Dźwięki i pokaz"),
    ("p", "Plik .wav albo .mp3 o tej samej nazwie co obraz, w tym samym katalogu, gra przy pokazaniu obrazu "
          "(gdy są oba, wybierany jest .mp3). Siłę głosu ustawia suwak na dolnym panelu. Pokaz automatyczny "
          "przechodzi do następnego obrazu co tyle sekund, ile podaje pole Czas pokazu, a dłużej, gdy dźwięk "
          "następnego obrazu trwa dłużej. Pole Powtarzaj każe zacząć pokaz od początku po ostatnim obrazie."),
    ("h", "Szukanie frazy"),
    ("p", "Okno Szukanie (Ctrl+F) przegląda wszystkie pliki z listy i pokazuje te, które zawierają frazę. "
          "Porównywane są surowe bajty całego pliku – obrazu, znacznika i opisu – więc fraza znaleziona w samych "
          "danych obrazu też jest trafieniem. Bez pola „Uwzględnij wielkość liter” wielkość liter pomijają tylko "
          "litery łacińskie A–Z; polskie litery, np. „Ą” i „ą”, są zawsze rozróżniane. Dwuklik na trafieniu "
          "pokazuje ten obraz."),
    ("h", "Plik z listą trafień"),
    ("p", "Listę trafień można zapisać jako plik tekstowy (.txt): same nazwy plików, bez katalogu, każda w "
          "osobnym wierszu zakończonym CR LF, w kodowaniu Windows-1250."),
    ("h", "Plik ustawień i „Zapis ustawień”"),
    ("p", "Ustawienia leżą w pliku Zelkavio.ini w katalogu programu (nie w katalogu bieżącym): położenie okna "
          "obrazu i okna opisu, rozmiar okna opisu, cztery kolory, czcionka opisów, ostatni katalog i przełącznik "
          "Powtarzaj. Polecenia menu Ustawienia zmieniają wygląd od razu, ale do pliku trafia on dopiero po "
          "poleceniu Zapis ustawień; zamknięcie programu niczego nie zapisuje. Zapis ustawień chowa okno obrazu "
          "i okno opisu, zapisuje ich położenie, a potem czyta plik z powrotem. Klucze i sekcje, których program "
          "nie zna, zostają w pliku nietknięte."),
    ("h", "zelkavio-opis w skryptach"),
    ("p", "Program wierszowy zelkavio-opis czyta i zmienia opisy bez okien, np. w skryptach:"),
    ("m", "zelkavio-opis info PLIK"),
    ("m", "zelkavio-opis show PLIK [--raw]"),
    ("m", "zelkavio-opis length PLIK"),
    ("m", "zelkavio-opis write PLIK --text TEKST [--lossy]"),
    ("m", "zelkavio-opis strip PLIK"),
    ("m", "zelkavio-opis render PLIK OBRAZ.png"),
    ("m", "zelkavio-opis search [--match-case] [--threads N] FRAZA KATALOG"),
    ("p", "Polecenie search szuka frazy tak jak okno Szukanie: wypisuje nazwy obrazów katalogu, które ją zawierają, "
          "po jednej w wierszu, w kolejności listy plików."),
    ("p", "Polecenie write, tak jak Zapis opisu, nie zapisuje tekstu ze znakami spoza Windows-1250 i kończy się "
          "kodem 1 z listą tych znaków; z opcją --lossy zapisuje je jako „?” i tylko ostrzega."),
    ("p", "Kod wyjścia 0 oznacza sukces, 1 błąd, 2 złe użycie; search, jak grep, kończy się kodem 0, gdy fraza "
          "się znalazła, 1, gdy nie ma jej w żadnym obrazie, i 2 przy błędzie. zelkavio-opis --help opisuje "
          "wszystkie polecenia."),
    ("p", "To okno zamyka klawisz Esc."),
]


def escape(text):
    out = []
    for ch in text:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ord(ch) < 128:
            out.append(ch)
        else:
            encoded = ch.encode("cp1250")
            out.append("".join("\\'%02x" % b for b in encoded))
    return "".join(out)


def main():
    lines = [
        r"{\rtf1\ansi\ansicpg1250\deff0\deftab720"
        r"{\fonttbl{\f0\fswiss\fcharset238 Arial;}{\f1\fmodern\fcharset238 Courier New;}}",
        r"{\colortbl ;\red0\green0\blue128;\red128\green0\blue0;}",
        r"\uc1\pard\qc\sa240\cf1\b\f0\fs32 " + escape(TITLE) + r"\cf0\b0\fs20\par",
    ]
    for style, text in SECTIONS:
        if style == "h":
            lines.append(r"\pard\sb240\sa120\cf2\b\fs24 " + escape(text) + r"\cf0\b0\fs20\par")
        elif style == "i":
            lines.append(r"\pard\li720\fi-360\sa60\qj\'95\tab " + escape(text) + r"\par")
        elif style == "m":
            lines.append(r"\pard\li720\sa0\f1 " + escape(text) + r"\f0\par")
        else:
            lines.append(r"\pard\fi360\sa120\qj " + escape(text) + r"\par")
    lines.append("}")
    target = pathlib.Path(__file__).resolve().parent.parent / "help" / "Zelkavio.rtf"
    target.write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
