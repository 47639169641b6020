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
          "(Ctrl+X), a na końcu Dopasuj obraz do ekranu (Ctrl+0), Powiększ obraz (Ctrl++) i Pomniejsz obraz "
          "(Ctrl+-)."),
    ("h", "Cały obraz na ekranie: dopasowanie i powiększenie"),
    ("p", "Okno obrazu pokazuje obraz w naturalnej wielkości: jeden piksel obrazu na jednym pikselu ekranu, a "
          "obraz większy od ekranu dostaje paski przewijania. Dopasuj obraz do ekranu (Ctrl+0) przełącza między "
          "naturalną wielkością a dopasowaniem: obraz większy od ekranu (bez 20 pikseli w poziomie i 30 w pionie) "
          "jest wtedy zmniejszany z zachowaniem proporcji, gładko, tak by cały zmieścił się w oknie bez pasków; "
          "mniejszy obraz zostaje w naturalnej wielkości, nigdy nie jest powiększany. Zdjęcie JPEG jest przy tym "
          "dekodowane od razu w mniejszej skali, więc pokazuje się szybciej."),
    ("p", "Powiększ obraz (Ctrl++, także Ctrl+=, Ctrl+Shift+= i Ctrl z plusem na klawiaturze numerycznej) i "
          "Pomniejsz obraz (Ctrl+-, także Ctrl z minusem na klawiaturze numerycznej) zmieniają skalę o jeden "
          "stopień: 1/8, 1/6, 1/4, 1/3, 1/2, 2/3, 1, 3/2, 2, 3, 4, 6, 8. Kółko myszy z wciśniętym Ctrl nad "
          "obrazem powiększa i pomniejsza w stronę wskaźnika; klawisze trzymają w miejscu środek okna. Okno "
          "rośnie razem z obrazem do wielkości ekranu, potem pojawiają się paski przewijania. Rysunki EMF i WMF "
          "są rysowane na nowo w każdej skali, ostro. Przejście do innego obrazu zachowuje tryb (naturalna "
          "wielkość albo dopasowanie), a powiększenie wraca do trybu. Klawisze działają w każdym oknie "
          "przeglądarki, także w polu opisu. Zapis ustawień zapamiętuje tryb (klucz Dopasuj w sekcji Fotka: 1 to "
          "dopasowanie, 0 naturalna wielkość)."),
    ("h", "Ekrany o dużej gęstości i pulpity Wayland"),
    ("p", "Na ekranie skalowanym (np. 200 % albo 150 %) naturalna wielkość nadal znaczy jeden piksel obrazu na "
          "jednym pikselu ekranu, więc zdjęcie jest ostre; położenie i wielkość okien liczą się w jednostkach "
          "pulpitu, tak jak w pliku ustawień."),
    ("p", "Na pulpicie Wayland program nie może sam ustawiać swoich okien ani trzymać listy plików nad innymi "
          "oknami, a od tego zależy jego układ. Dlatego uruchamia się przez warstwę zgodności X11 pulpitu "
          "(Xwayland); gdy jej nie ma, działa natywnie i raz mówi na standardowym wyjściu błędów, co nie będzie "
          "działać. Pulpit Wayland ze skalowaniem może rysować programy X11 powiększone i nieostre: wtedy "
          "wygrywa układ okien. Kto woli ostry obraz od układu, uruchamia program natywnie:"),
    ("m", "QT_QPA_PLATFORM=wayland zelkavio"),
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
          "atrybuty i listy ACL pliku. Bajty samego obrazu zapis zostawia takie, jakie były; poprawia najwyżej "
          "w nagłówku BMP rozmiar danych pikseli, gdy jest ich mniej, niż podaje nagłówek, żeby żaden program "
          "nie wziął opisu za piksele."),
    ("p", "Zapis i kasowanie opisu zmieniają plik tylko wtedy, gdy jest dokładnie taki, jaki był w chwili pokazania "
          "obrazu. Gdy w międzyczasie zmienił go inny program albo drugie okno Zelkavio, polecenie odmawia "
          "komunikatem „Plik … zmienił się od chwili pokazania - pokaż go ponownie.”, a w pliku zostaje to, co "
          "zapisał tamten program. Programy Zelkavio (przeglądarka i zelkavio-opis, w dowolnej liczbie) zakładają "
          "na plik obrazu blokadę doradczą (flock) tylko na czas ostatniego sprawdzenia pliku i samej podmiany "
          "albo obcięcia – nigdy na czas pokazu obrazu, dźwięku czy okna komunikatu. Kto zastanie plik "
          "zablokowany, czeka najwyżej 3 sekundy, a potem zgłasza, że plik zmienia inny program Zelkavio, i niczego "
          "nie zmienia. Plik tymczasowy .zelkavio-XXXXXX, który został po zabitym w trakcie zapisie, usuwa "
          "następny zapis w tym samym katalogu."),
    ("p", "Pole opisu pokazuje opis tylko do bajtu NUL. Opisu z takim bajtem nie da się więc zapisać z pola (zapis "
          "usunąłby to, czego pole nie pokazuje – program mówi, ile to bajtów); można go skasować albo zastąpić "
          "poleceniem zelkavio-opis write."),
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
          "osobnym wierszu zakończonym CR LF, w kodowaniu Windows-1250. Nazwa, której to kodowanie nie zapisze "
          "(np. nazwa cyrylicą albo nazwa spoza UTF-8, opisana niżej), trafia do pliku jako jej własne bajty z "
          "dysku."),
    ("h", "Nazwy plików w dowolnym kodowaniu"),
    ("p", "Nazwy plików i katalogów są dla programu ciągiem bajtów. Nazwy zapisane w UTF-8, jak zwykle w Linuksie, "
          "widać tak, jak są. Nazwy w innym kodowaniu (np. polskie nazwy zapisane w Windows-1250 na starych "
          "nośnikach albo w starych archiwach) lista plików, okno Szukanie i komunikaty pokazują, czytając ich "
          "bajty jako Windows-1250, a pokaz obrazu, jego dźwięk, zapis i kasowanie opisu, szukanie i ustawienia "
          "zawsze używają prawdziwych bajtów nazwy. Okno wyboru katalogu (Katalog) nie umie przekazać katalogu, "
          "w którego ścieżce jest nazwa spoza UTF-8: mówi o tym komunikat i nic się nie zmienia. Taki katalog "
          "otwiera się jako zapamiętany w pliku ustawień (klucz Nazwa w sekcji Plik, w postaci opisanej niżej) "
          "albo po zmianie nazwy na zapisaną w UTF-8."),
    ("h", "Plik ustawień i „Zapis ustawień”"),
    ("p", "Ustawienia leżą w pliku Zelkavio.ini (nigdy w katalogu bieżącym): położenie okna "
          "obrazu i okna opisu, rozmiar okna opisu, cztery kolory, czcionka opisów, ostatni katalog, przełącznik "
          "Powtarzaj i tryb okna obrazu (dopasowanie albo naturalna wielkość). Polecenia menu Ustawienia zmieniają wygląd od razu, ale do pliku trafia on dopiero po "
          "poleceniu Zapis ustawień; zamknięcie programu niczego nie zapisuje. Zapis ustawień chowa okno obrazu "
          "i okno opisu, zapisuje ich położenie, a potem czyta plik z powrotem. Klucze i sekcje, których program "
          "nie zna, zostają w pliku nietknięte."),
    ("p", "Gdzie leży ten plik: program uruchomiony z katalogu, w którym go zbudowano albo do którego go "
          "skopiowano, trzyma Zelkavio.ini obok siebie, w katalogu programu. Program zainstalowany w systemie "
          "(na przykład z pakietu, jako /usr/bin/zelkavio) trzyma ustawienia w katalogu konfiguracji "
          "użytkownika: $XDG_CONFIG_HOME/zelkavio/Zelkavio.ini, a gdy zmienna XDG_CONFIG_HOME nie jest "
          "ustawiona, ~/.config/zelkavio/Zelkavio.ini; katalog zelkavio powstaje przy pierwszym zapisie "
          "ustawień. Jeśli jednak obok zainstalowanego programu leży plik Zelkavio.ini, to on jest czytany i "
          "zapisywany. Gdy zapis się nie uda, komunikat „Unable to write to …” podaje pełną ścieżkę pliku, "
          "który program próbował zapisać. Plik pomocy Zelkavio.rtf program szuka najpierw obok siebie, a "
          "potem w katalogu ../share/zelkavio/ względem swojego katalogu."),
    ("p", "Każda wartość wczytuje się z pliku dokładnie taka, jaka została zapisana. Zwykłe wartości są zapisane "
          "wprost, w kodowaniu Windows-1250. Wartość z odstępem lub tabulatorem na początku albo na końcu (nazwa "
          "katalogu w Linuksie może kończyć się spacją) albo ujęta w cudzysłowy jest zapisana w cudzysłowach "
          "\"…\". Wartość ze znakami, których Windows-1250 nie ma (np. katalog z literami francuskimi lub "
          "cyrylicą, nazwa czcionki w innym piśmie), nazwa katalogu spoza UTF-8, wartość ze znakiem nowego "
          "wiersza i wartość, która sama zaczyna się od %%, są zapisane jako %% i dalej bajty wartości (UTF-8 "
          "dla tekstu, własne bajty nazwy katalogu), w których znak %, odstępy, znaki sterujące i bajty powyżej "
          "127 mają postać %XX (dwie cyfry szesnastkowe), np. Nazwa=%%/home/ala/Wakacje%20%C3%A0%20Nice."),
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
    ("h", "Kopie opisów i inne programy"),
    ("p", "Opis jest tylko w pliku obrazu, za znacznikiem @||@. Uwaga: inne programy, które zapisują obraz na nowo "
          "(edytor, który obraca albo przycina zdjęcie, telefon lub usługa w chmurze, narzędzie „czyszczące” "
          "pliki), gubią przy tym opis bez ostrzeżenia, a inne przeglądarki go nie widzą. Zanim oddasz obrazy "
          "innemu programowi, zrób kopię opisów."),
    ("m", "zelkavio-opis dump [--recursive] [--json] KATALOG... > opisy.tsv"),
    ("p", r"dump zapisuje kopię opisów: dla każdego obrazu ścieżkę względem katalogu, format, długość i skrót "
          r"SHA-256 bajtów samego obrazu (tych przed znacznikiem), to, czy plik ma blok opisu, oraz bajty opisu "
          r"dokładnie takie, jak w pliku, jako tekst UTF-8 (każdy bajt Windows-1250 ma swój znak, więc nic nie "
          r"ginie). Domyślnie to tekst z kolumnami rozdzielonymi tabulatorem, z wierszem nagłówka; tabulator, CR, "
          r"LF, NUL i \ są zapisane jako \t, \r, \n, \0 i \\. Z --json każdy obraz to jeden obiekt JSON w wierszu. "
          r"Pierwszy wiersz kopii zapowiada, że kończy ją wiersz zamykający z liczbą wpisów (w TSV "
          "„#trailer<TAB>records<TAB>N”, w JSON {\"trailer\":true,\"records\":N}), więc kopię uciętą "
          r"(przerwany program, pełny dysk) widać od razu."),
    ("m", "zelkavio-opis restore [--dry-run] [--force] [--partial] [--by-path] opisy.tsv KATALOG"),
    ("p", "restore przywraca opisy z kopii, każdy tylko do obrazu, którego bajty mają zapisany w kopii skrót "
          "SHA-256: do pliku pod tą samą ścieżką, gdy ma te bajty, a w przeciwnym razie do jedynego pliku w "
          "katalogu, który je ma (obraz przeniesiony albo przemianowany). Gdy pod ścieżką jest inny obraz, a "
          "żaden plik nie ma zapisanych bajtów, wpis jest pomijany jako „picture changed”; --by-path przywraca "
          "go wtedy mimo to po ścieżce (np. gdy inny program zapisał obraz na nowo). Gdy te same bajty obrazu mają "
          "dwa pliki albo dwa wpisy wskazują ten sam plik, nic nie jest zapisywane, a program to zgłasza. Plik, "
          "który ma już ten opis, zostaje nietknięty; plik z innym, niepustym opisem też, chyba że podano "
          "--force; wpis bez opisu nigdy nie kasuje opisu. Plik, który przez dowiązanie symboliczne leży poza "
          "KATALOGIEM, nie jest zmieniany. Kopii uciętej (bez wiersza zamykającego albo z niepełnym ostatnim "
          "wierszem) restore nie przywraca; --partial przywraca jej pełne wpisy sprzed miejsca ucięcia. Kopia "
          "zrobiona przed wprowadzeniem wiersza zamykającego jest przywracana jak dawniej, z ostrzeżeniem, że "
          "nie da się sprawdzić, czy jest cała. --dry-run tylko pokazuje, co by się stało. Na końcu jest "
          "podsumowanie; kod wyjścia 0 znaczy, że każdy opis przywrócono albo już był na miejscu."),
    ("m", "zelkavio-opis export-xmp [--embed] PLIK|KATALOG..."),
    ("p", "export-xmp udostępnia opisy innym programom do zdjęć: zapisuje opis jako XMP dc:description (język "
          "x-default) w pliku towarzyszącym NAZWA.ROZ.xmp obok obrazu; pozostałe dane istniejącego pliku .xmp "
          "zostają. Z --embed plik JPEG dostaje opis w środku: w XMP, a gdy tekst ma same znaki ASCII, także w "
          "Exif ImageDescription; podpis Exif albo IPTC, który nie pomieści tekstu, jest usuwany, żeby żaden nie "
          "został ze starym tekstem. Po zapisie każdy inny znacznik metadanych musi mieć tę samą wartość co "
          "przedtem – gdy Exiv2 coś by pominął albo zmienił (np. za duży blok Exif), plik zostaje bez zmian, a "
          "program to zgłasza; tak samo JPEG z dwoma pakietami XMP. Blok opisu za znacznikiem zostaje bez zmian. "
          "Opisu, który zawiera @||@, nie da się wpisać do wnętrza obrazu. BMP, EMF i WMF dostają zawsze plik "
          "towarzyszący. Obrazy bez opisu są pomijane. Plików towarzyszących program nigdy nie czyta ani nie "
          "zapisuje przez dowiązanie symboliczne, a obrazu z podanego KATALOGU, który przez dowiązanie leży poza "
          "nim, nie zmienia."),
    ("m", "zelkavio-opis import-xmp [--force] [--lossy] PLIK|KATALOG..."),
    ("p", "import-xmp działa w drugą stronę: pierwszy znaleziony podpis – z NAZWA.ROZ.xmp, z NAZWA.xmp, z XMP, "
          "Exif albo IPTC wewnątrz obrazu albo z komentarza JPEG – staje się opisem obrazu, który nie ma opisu "
          "albo ma pusty (z --force każdego). Teksty są czytane tak: XMP jako UTF-8; IPTC jako UTF-8, gdy tak "
          "mówi jego pole zestawu znaków (1:90), a bez tego pola tak jak Exif; Exif i komentarz jako UTF-8, gdy "
          "są poprawnym UTF-8, a w przeciwnym razie jako Windows-1250. Podpis ze znakami, których nie ma w "
          "Windows-1250, nie jest zapisywany (program to zgłasza), chyba że podano --lossy: wtedy te znaki "
          "zapisują się jako „?”."),
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
