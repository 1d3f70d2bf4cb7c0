#include "prep/program_info.hpp"

#include <span>
#include <string>
#include <string_view>

namespace prep {
namespace {

constexpr std::string_view kUsage[] = {
    "Uso: elab [FILE]",
    "     elab --help | --version",
    "",
    "Legge un file di prezzi giornalieri e scrive nella directory corrente",
    "il file di addestramento elab.dat, un record per giorno (un elab.dat",
    "esistente viene sostituito).",
    "",
    "FILE  il file dei prezzi: NR e NC, poi NR righe di NC numeri (anno,",
    "      mese, giorno, due valori non usati, chiusura, giorno 2=lun..6=ven).",
    "      Senza FILE il nome viene chiesto (UNIT 1?).",
    "",
    "Domande, nell'ordine:",
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
    "99 spazio insufficiente per le matrici.",
};

void write_lines(units::Console& console, std::span<const std::string_view> lines) {
  for (std::string_view line : lines) {
    std::string record = " ";  // carriage control
    record += line;
    console.write_record(record);
  }
}

}  // namespace

bool write_program_info(int argc, char** argv, units::Console& console) {
  if (argc != 2) return false;
  const std::string_view arg = argv[1];
  if (arg == "--help") {
    write_lines(console, kUsage);
  } else if (arg == "--version") {
    constexpr std::string_view version[] = {"elab " ELAB_VERSION};
    write_lines(console, version);
  } else {
    return false;
  }
  return true;
}

}  // namespace prep
