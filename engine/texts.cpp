#include "texts.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace sonivel {
namespace {

struct Pair {
    const char* en;
    const char* fr;
};

// Texts are UTF-8; "\n" separates the lines of a message box.
constexpr std::array<Pair, kNumTexts> kTexts = {{
    {"&File", "&Fichier"},  // 0
    {"&Open...", "&Ouvrir..."},  // 1
    {"&Save As...", "&Sauvegarder Sous..."},  // 2
    {"Open play&list...", "Ouvrir &liste de jeu..."},  // 3
    {"&Edit playlist...", "&Modifier liste de jeu..."},  // 4
    {"E&xit", "&Quitter"},  // 5
    {"&Output format", "Format de &rendement"},  // 6
    {"&8 bits per sample", "&8 bits par échantillon"},  // 7
    {"1&6 bits per sample", "1&6 bits par échantillon"},  // 8
    {"&Mono", "&Monophonique"},  // 9
    {"&Stereo", "&Stéréophonique"},  // 10
    {"&Stereo &effects", "&Effets stéréophoniques"},  // 11
    {"O&ptions", "&Options"},  // 12
    {"&Play while saving to disk", "&Jouer pendant enregistrement au disque dur"},  // 13
    {"&Auto repeat", "Répéter &automatiquement"},  // 14
    {"&Language", "&Langue"},  // 15
    {"&Create shortcut in Start Menu", "&Créer un raccourci dans le Menu de Démarrage"},  // 16
    {"Associate &wave files with Sonivel", "Associer les fichiers \"*.wav\" avec Sonivel"},  // 17
    {"&Help", "&Aide"},  // 18
    {"In &HTML format", "En format &HTML"},  // 19
    {"In &text format", "En format &texte"},  // 20
    {"&About...", "&A propos de ce programme..."},  // 21
    {"Play", "Jouer"},  // 22
    {"Stop", "Arrêter"},  // 23
    {"Rewind", "Rembobiner"},  // 24
    {"Previous Track", "Précédent"},  // 25
    {"Next Track", "Suivant"},  // 26
    {"Playlist...", "Liste de jeu..."},  // 27
    {"Time:", "Temps:"},  // 28
    {"Writing to disk", "Enregistrement en cours"},  // 29
    {"First, stop playback and set the\nindicator to the position you want\nsaving to start at. (See help for more details.)", "D'abord, arrêtez le jeu et placez l'indicateur\noù vous voulez que l'enregistrement commence.\n(Voyez l'aide pour savoir davantage.)"},  // 30
    {"Error", "Erreur"},  // 31
    {"You cannot overwrite the file you opened.", "Vous ne pouvez pas écrire par dessus\nle fichier que vous avez ouvert."},  // 32
    {"This version of Sonivel no longer\nrequires a configuration file since it\nsaves its configuration in the Windows registry.\nWould you like me to delete the old configuration file\nfor you? It is no longer useful.", "Cette version de Sonivel n'a plus besoin\nd'un fichier de configuration puisqu'elle sauvegarde\nsa configuration dans le \"Windows registry.\"\nVoulez-vous que j'efface le vieux fichier de\nconfiguration qui n'est plus utile?"},  // 33
    {"Thank you for using Sonivel", "Merci pour utiliser Sonivel"},  // 34
    {"Could not open your web browser. Try\nthe text format version of the online help.", "Je n'ai pas pu ouvrir votre web browser.\nVeuillez essayer le format texte de l'aide."},  // 35
    {"Could not open help text file.", "Fichier de texte d'aide ne peut être ouvert."},  // 36
    {"Incompatible sound device", "Appareil de son incompatible"},  // 37
    {"Couldn't detect sound device.", "Appareil de son ne peut être détecté"},  // 38
    {"Couldn't allocate memory for sound", "La mémoire pour le son ne put être allouée"},  // 39
    {"Error opening file", "Le fichier ne peut être ouvert"},  // 40
    {"Not a wave file", "Pas un fichier wave"},  // 41
    {"Couldn't get format chunk", "Le format du fichier ne peut être reconnu"},  // 42
    {"Error reading format", "Erreur en lisant le format du fichier"},  // 43
    {"Couldn't get data chunk", "Problème en lisant les données sonores"},  // 44
    {"Only noncompressed wave files with\n11025, 22050 or 44100 Hz sampling rates\nare supported in this version.", "Seulement les fichiers non-compressés avec\ndes fréquences de 11025, 22050 ou 44100 Hz\npeuvent être lues dans cette version."},  // 45
    {"Could not write wave file.", "Fichier sonore ne peut être écrit"},  // 46
    {"The output quality is too low and Sonivel cannot\nreduce the sound quality of a file.\nWould you like Sonivel to improve\nthe output quality for you?", "La qualité de rendement est trop basse et Sonivel\nne peut réduire la qualité du son de votre fichier.\nVoudriez-vous que Sonivel améliore la qualité\nde rendement sonore par lui-même?"},  // 47
    {"Couldn't open sound device", "Appareil de son ne peut être ouvert"},  // 48
    {"Couldn't prepare sound header", "Entête de son ne peut être préparée"},  // 49
    {"Playlist", "Liste de jeu"},  // 50
    {"<< Add all", "<< Ajouter tous"},  // 51
    {"Remove all >>", "Enlever tous >>"},  // 52
    {"<< Add", "<< Ajouter"},  // 53
    {"Remove >>", "Enlever >>"},  // 54
    {"Open playlist...", "Ouvrir liste de jeu..."},  // 55
    {"Save playlist...", "Sauvegarder liste de jeu..."},  // 56
    {"Close", "Fermer"},  // 57
    {"You have no files in your playlist,\nso there is no point in saving it.", "Vous n'avez pas de fichiers dans votre\nliste de jeu, alors il n'y a aucun but\nde la sauvegarder."},  // 58
    {"",
     "Pour l'instant, l'aide n'est disponible qu'en anglais.\n"
     "Si cela vous intéresse que je la traduise en français,\n"
     "S.V.P. dites-le moi en envoyant un message à sonivel@example.org.\n"
     "Ce message n'apparaîtra plus."},  // 59
    {"Could not write wave file.\nThe converted sound would be larger than the 4 GiB a wave file can hold; "
     "start later in the file or choose a lower output format.",
     "Fichier sonore ne peut être écrit\nLe son converti dépasserait les 4 Gio qu'un fichier wave peut contenir ; "
     "commencez plus loin dans le fichier ou choisissez un format de rendement plus bas."},  // 60
    {"%s bits per sample; Sonivel reads 8 to 32", "%s bits par échantillon ; Sonivel lit de 8 à 32"},  // 61
    {"%s Hz; Sonivel reads 4000 to 384000 Hz", "%s Hz ; Sonivel lit de 4000 à 384000 Hz"},  // 62
    {"%s channels; Sonivel reads mono and stereo", "%s canaux ; Sonivel lit mono et stéréo"},  // 63
    {"format %s; an encoding Sonivel does not read", "format %s ; un codage que Sonivel ne lit pas"},  // 64
    {"its %s sound cannot be decoded", "son contenu %s ne peut être décodé"},  // 65
    {"%s sound, not a wave file", "son %s, pas un fichier wave"},  // 66
    {"These files were skipped: Sonivel cannot play them.", "Ces fichiers ont été passés : Sonivel ne peut pas les lire."},  // 67
    {"... and %s more", "... et %s de plus"},  // 68
    {"&High-quality interpolation", "&Interpolation haute qualité"},  // 69
    {"There are no wave files in this folder:", "Aucun fichier wave dans ce dossier :"},  // 70
    {"Wave files", "Fichiers wave"},  // 71
    {"Drive", "Volume"},  // 72
    {"Folders", "Dossiers"},  // 73
    {"A playlist holds one name a line: a file name that contains a line break cannot be stored in it. Not added:",
     "Une liste de lecture garde un nom par ligne : un nom de fichier qui contient un saut de ligne ne peut pas "
     "y figurer. Non ajouté :"},  // 74
    {"Missing or not wave files, these names of the list were left out:",
     "Absents ou pas des fichiers wave, ces noms de la liste n'ont pas été repris :"},  // 75
    {"Cannot open file %s", "Impossible d'ouvrir le fichier %s"},  // 76
    {"Cannot create file %s", "Impossible de créer le fichier %s"},  // 77
    {"About Sonivel", "À propos de Sonivel"},  // 78
    {"Free to use, copy and give away.", "Libre d'utilisation, de copie et de diffusion."},  // 79
    {"Usage: sonivel [--] [FILE.wav | FOLDER]...\n"
     "Plays wave files raised to 22050 or 44100 Hz, 8 or 16 bits, mono or stereo.\n"
     "The first file given plays; all of them (a folder: the wave files below it)\n"
     "form the playlist. With Sonivel already running, they go to its window.\n"
     "\n"
     "  --help     show this text and end\n"
     "  --version  show the version and end\n"
     "  --         what follows is a file, even when it starts with -\n"
     "\n"
     "Settings: %s\n"
     "Converting files without a window: sonivel-convert (see sonivel-convert --help)\n",
     "Usage : sonivel [--] [FICHIER.wav | DOSSIER]...\n"
     "Joue des fichiers wave élevés à 22050 ou 44100 Hz, 8 ou 16 bits, mono ou stéréo.\n"
     "Le premier fichier donné est joué ; tous (un dossier : les fichiers wave qu'il\n"
     "contient) forment la liste de jeu. Si Sonivel tourne déjà, ils vont à sa fenêtre.\n"
     "\n"
     "  --help     affiche ce texte et termine\n"
     "  --version  affiche la version et termine\n"
     "  --         ce qui suit est un fichier, même s'il commence par -\n"
     "\n"
     "Réglages : %s\n"
     "Convertir des fichiers sans fenêtre : sonivel-convert (voir sonivel-convert --help)\n"},  // 80
    {"sonivel: unknown option %s (sonivel --help shows the usage)",
     "sonivel : option inconnue %s (sonivel --help en montre l'usage)"},  // 81
    {"current", "en cours"},  // 82
}};

constexpr std::array<const char*, kNumLanguages> kErrorCaptions = {"Error", "Erreur"};

}  // namespace

std::string FormatText(int id, std::initializer_list<std::string> args, int language) {
    const std::string_view text = Text(id, language);
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

int DesktopLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value) continue;
        const std::string_view first(value, std::strcspn(value, ":"));
        if (first.empty()) continue;
        return first.substr(0, 2) == "fr" ? kFrench : kEnglish;
    }
    return kEnglish;
}

std::string_view Text(int id, int language) {
    if (id < 0 || id >= kNumTexts) return {};
    return language == kFrench ? kTexts[static_cast<std::size_t>(id)].fr
                               : kTexts[static_cast<std::size_t>(id)].en;
}

std::string_view ErrorCaption(int language) {
    return kErrorCaptions[language == kFrench ? 1 : 0];
}

std::atomic<int>& CurrentLanguage() {
    static std::atomic<int> language{kEnglish};
    return language;
}

}  // namespace sonivel
