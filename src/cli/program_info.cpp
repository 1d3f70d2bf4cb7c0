#include "cli/program_info.hpp"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>

namespace prep {
namespace {

constexpr std::string_view kHead[] = {
    "Uso: elab [OPZIONE]... [FILE]",
    "     elab --help | --version",
    "",
    "Legge un file di prezzi giornalieri e scrive il file di addestramento",
    "elab.dat nella directory corrente (o il FILE di --output), un record per",
    "giorno (un file esistente viene sostituito).",
    "",
    "FILE  il file dei prezzi: NR e NC, poi NR righe di NC numeri (anno,",
    "      mese, giorno, due valori non usati, chiusura, giorno 2=lun..6=ven);",
    "      oppure il CSV di un fornitore, con una colonna della data e una",
    "      della chiusura (Date, Data, Datum...; Close, Chiusura, Last...).",
    "      Senza FILE il nome viene chiesto (UNIT 1?). - e' lo standard input,",
    "      solo con tutte le risposte date per opzione; un FILE che comincia",
    "      con - si scrive ./-x oppure dopo --.",
    "",
    "Opzioni (--opzione=valore o --opzione valore):",
};

constexpr std::string_view kTail[] = {
    "",
    "Domande, nell'ordine; una risposta data per opzione non viene chiesta:",
    "  da          prima data AAMMGG; dal 2000 con sette cifre (1190601 =",
    "              1 giugno 2019); -1 = tutti i dati, 0 = dall'inizio",
    "  sino a      ultima data; 0 = sino alla fine dei dati",
    "  variabile   in output, da 1 a 11",
    "  coeff.      multiplo della st.dev. oltre il quale un valore e' eccezionale",
    "  outliers    sul valore di output? 0 = no, 1 = si'",
    "  outliers    sui valori di input? 0 = no, 1 = si'",
    "  giorno      -1 = tutti con 5 dummy, 0 = tutti, 2..6 = un solo giorno",
    "",
    "Stato di uscita: 0 fine normale; 1 errore (messaggio su stderr), data",
    "finale minore della iniziale, meno di 7 colonne o di 110 righe scelte;",
    "2 riga di comando errata (nulla e' chiesto ne' scritto); 99 spazio",
    "insufficiente per le matrici.",
};

void write_line(units::Console& console, std::string_view line) {
  std::string record = " ";  // carriage control
  record += line;
  console.write_record(record);
}

void write_lines(units::Console& console, std::span<const std::string_view> lines) {
  for (std::string_view line : lines) write_line(console, line);
}

// "  -o, --output=FILE   help", the help's further lines under its first.
void write_option(units::Console& console, const Option& o) {
  constexpr std::size_t kHelpColumn = 29;
  std::string line = "  ";
  line += o.short_name != '\0' ? std::string("-") + o.short_name + ", " : "    ";
  line += "--";
  line += o.name;
  if (!o.value_name.empty()) {
    line += '=';
    line += o.value_name;
  }
  std::string_view help = o.help;
  for (;;) {
    line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
    const std::size_t end = help.find('\n');
    line += help.substr(0, end);
    write_line(console, line);
    if (end == std::string_view::npos) return;
    help.remove_prefix(end + 1);
    line.clear();
  }
}

}  // namespace

void write_usage(units::Console& console) {
  write_lines(console, kHead);
  for (const Option& o : options()) write_option(console, o);
  write_lines(console, kTail);
}

void write_version(units::Console& console) { write_line(console, "elab " ELAB_VERSION); }

std::string usage_error_text(const UsageError& error) {
  return "elab: " + error.message + "\r\nTry 'elab --help'.\r\n";
}

}  // namespace prep
