#include "convert_texts.h"

#include <array>

#include "texts.h"

namespace sonivel::convert {
namespace {

constexpr std::array<const char*, kSayCount> kEnglishSaid = {
    // kHelp
    "usage: sonivel-convert [options] IN.wav OUT.wav\n"
    "       sonivel-convert [options] IN... OUTDIR\n"
    "\n"
    "Converts wave files (PCM, float, u-law, A-law, ADPCM, GSM; mono or stereo,\n"
    "from 4000 Hz) to a higher format, exactly as Sonivel's Save As does.\n"
    "\n"
    "With one input file and an output name, that one file is written. With\n"
    "several inputs, a folder among them, or an existing folder as the last\n"
    "name, every input is converted into OUTDIR; a folder is searched through\n"
    "all its subfolders for files ending in .wav (any case), and each is\n"
    "written to the same place under OUTDIR.\n"
    "\n"
    "  --rate 22050|44100     output sample rate (default 44100)\n"
    "  --bits 8|16            output bits per sample (default 16)\n"
    "  --mono | --stereo      output channels (default stereo)\n"
    "  --effects              stereo effect for mono input: the right channel\n"
    "                         carries the sound 63.5 ms ahead (default)\n"
    "  --no-effects           both channels identical\n"
    "  --interpolation linear|hq\n"
    "                         the samples between when the rate is raised:\n"
    "                         the classic mean of two neighbours (default),\n"
    "                         or a band-limited filter that adds no mirror\n"
    "                         images above the file's own top frequency\n"
    "  --seek 0..1000         start this far into the file, in thousandths\n"
    "                         (default 0, the whole file)\n"
    "  --yes                  when the chosen output is below a file's own\n"
    "                         format, raise it instead of refusing\n"
    "  --jobs N               files converted at once (default: the number\n"
    "                         of processors)\n"
    "  --force                replace outputs that exist already\n"
    "  --skip-existing        keep outputs that exist already, convert the rest\n"
    "  --dry-run              list where each file would go and what it would\n"
    "                         become, write nothing\n"
    "  --lang en|fr           language of the messages (default: the desktop's)\n"
    "  --help                 this text\n"
    "\n"
    "The conversion never lowers quality: rates are doubled or quadrupled with\n"
    "interpolated samples, 8-bit samples become 16-bit, mono becomes stereo.\n"
    "Into a folder, each file is written under a temporary name and renamed\n"
    "when complete: an interrupted run leaves no half-written file, and\n"
    "--skip-existing carries on where it stopped. An input is never replaced,\n"
    "and an output that exists already is kept, for one file as into a folder,\n"
    "unless --force is given.\n"
    "\n"
    "Exit status: 0 when every file was written, 1 when any was refused,\n"
    "unreadable or could not be written, 2 for wrong usage, 130 when\n"
    "interrupted.\n",
    // kSeeHelp
    "see 'sonivel-convert --help'",
    "--rate takes 22050 or 44100",
    "--bits takes 8 or 16",
    "--seek takes a number from 0 to 1000",
    "--lang takes en or fr",
    "--jobs takes a number from 1 to 256",
    "--interpolation takes linear or hq",
    "unknown option %s",
    "an input and an output are needed",
    "--force and --skip-existing cannot go together",
    "%s is a file, not a folder",
    "Wrote %s: %s",
    "%s -> %s (exists, kept)",
    "no such file",
    "it is a folder",
    "no permission to read it",
    "the folder does not exist",
    "no permission to write there",
    "use --yes to raise the output format to %s",
    "the output exists",
    "another input is written to the same output",
    "Interrupted: unfinished outputs were removed.",
    "Converted %d of %d files in %s.",
    "Kept %d existing outputs.",
    "Not converted (%d):",
    "%d/%d files",
    "%s left",
    "stereo",
    "mono",
    "no wave files in %s",
    "Outputs that exist are kept: use --force to replace them or --skip-existing to convert only the others.",
    "the chosen output is below the file's own format",
    "kept as it is: %s, above every output format",
    "%s -> %s (%s)",
    "1 file: %s",
    "%d files: %s",
    "No wave file to convert was found.",
};

constexpr std::array<const char*, kSayCount> kFrenchSaid = {
    // kHelp
    "usage : sonivel-convert [options] ENTRÉE.wav SORTIE.wav\n"
    "        sonivel-convert [options] ENTRÉE... DOSSIER\n"
    "\n"
    "Convertit des fichiers WAV (PCM, flottant, u-law, A-law, ADPCM, GSM ;\n"
    "mono ou stéréo, dès 4000 Hz) vers un format supérieur, exactement comme\n"
    "la commande Enregistrer sous de Sonivel.\n"
    "\n"
    "Avec un seul fichier d'entrée et un nom de sortie, ce fichier est écrit.\n"
    "Avec plusieurs entrées, un dossier parmi elles ou un dossier existant en\n"
    "dernier nom, chaque entrée est convertie dans DOSSIER ; un dossier est\n"
    "parcouru, sous-dossiers compris, à la recherche des fichiers en .wav\n"
    "(majuscules ou minuscules), et chacun est écrit au même endroit sous\n"
    "DOSSIER.\n"
    "\n"
    "  --rate 22050|44100     fréquence de sortie (44100 par défaut)\n"
    "  --bits 8|16            bits par échantillon en sortie (16 par défaut)\n"
    "  --mono | --stereo      canaux de sortie (stéréo par défaut)\n"
    "  --effects              effet stéréo pour une entrée mono : le canal\n"
    "                         droit porte le son 63,5 ms en avance (par défaut)\n"
    "  --no-effects           deux canaux identiques\n"
    "  --interpolation linear|hq\n"
    "                         les échantillons intermédiaires quand la\n"
    "                         fréquence est élevée : la moyenne classique de\n"
    "                         deux voisins (par défaut), ou un filtre à bande\n"
    "                         limitée qui n'ajoute aucune image au-dessus de\n"
    "                         la fréquence la plus haute du fichier\n"
    "  --seek 0..1000         commencer à cette position du fichier, en\n"
    "                         millièmes (0 par défaut : le fichier entier)\n"
    "  --yes                  si la sortie choisie est inférieure au format du\n"
    "                         fichier, l'élever au lieu de refuser\n"
    "  --jobs N               fichiers convertis en même temps (par défaut :\n"
    "                         le nombre de processeurs)\n"
    "  --force                remplacer les sorties qui existent déjà\n"
    "  --skip-existing        garder les sorties qui existent déjà, convertir\n"
    "                         les autres\n"
    "  --dry-run              afficher où irait chaque fichier et ce qu'il\n"
    "                         deviendrait, sans rien écrire\n"
    "  --lang en|fr           langue des messages (par défaut : celle du bureau)\n"
    "  --help                 ce texte\n"
    "\n"
    "La conversion ne réduit jamais la qualité : la fréquence est doublée ou\n"
    "quadruplée par interpolation, les échantillons 8 bits passent à 16 bits,\n"
    "le mono devient stéréo. Dans un dossier, chaque fichier est écrit sous un\n"
    "nom provisoire puis renommé une fois complet : une conversion interrompue\n"
    "ne laisse aucun fichier à moitié écrit, et --skip-existing reprend là où\n"
    "elle s'est arrêtée. Une entrée n'est jamais remplacée, et une sortie qui\n"
    "existe déjà est gardée, pour un fichier comme dans un dossier, sauf avec\n"
    "--force.\n"
    "\n"
    "Code de sortie : 0 si tous les fichiers ont été écrits, 1 si l'un d'eux a\n"
    "été refusé, était illisible ou n'a pas pu être écrit, 2 en cas d'erreur\n"
    "d'utilisation, 130 en cas d'interruption.\n",
    // kSeeHelp
    "voir « sonivel-convert --help »",
    "--rate accepte 22050 ou 44100",
    "--bits accepte 8 ou 16",
    "--seek accepte un nombre de 0 à 1000",
    "--lang accepte en ou fr",
    "--jobs accepte un nombre de 1 à 256",
    "--interpolation accepte linear ou hq",
    "option inconnue %s",
    "il faut une entrée et une sortie",
    "--force et --skip-existing s'excluent",
    "%s est un fichier, pas un dossier",
    "Écrit %s : %s",
    "%s -> %s (existe, conservé)",
    "fichier introuvable",
    "c'est un dossier",
    "lecture non autorisée",
    "le dossier n'existe pas",
    "écriture non autorisée à cet endroit",
    "utilisez --yes pour élever le format de sortie à %s",
    "la sortie existe",
    "une autre entrée est écrite vers la même sortie",
    "Interrompu : les sorties inachevées ont été supprimées.",
    "Fichiers convertis : %d sur %d, en %s.",
    "Sorties existantes conservées : %d.",
    "Non convertis (%d) :",
    "%d/%d fichiers",
    "reste %s",
    "stéréo",
    "mono",
    "aucun fichier WAV dans %s",
    "Les sorties existantes sont gardées : --force pour les remplacer, --skip-existing pour ne convertir que les autres.",
    "la sortie choisie est inférieure au format propre du fichier",
    "gardé tel quel : %s, au-dessus de tout format de sortie",
    "%s -> %s (%s)",
    "1 fichier : %s",
    "%d fichiers : %s",
    "Aucun fichier WAV à convertir n'a été trouvé.",
};

}  // namespace

int Language() { return CurrentLanguage().load(); }

std::string_view Said(Say id) { return (Language() == kFrench ? kFrenchSaid : kEnglishSaid)[id]; }

std::string Format(Say id, std::initializer_list<std::string> args) {
    const std::string_view text = Said(id);
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd') &&
            next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string FormatName(unsigned rate, unsigned bits, unsigned channels) {
    return std::to_string(rate) + " Hz, " + std::to_string(bits) + " bits, " +
           std::string(Said(channels == 2 ? kStereo : kMono));
}

}  // namespace sonivel::convert
