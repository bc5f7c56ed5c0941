#!/usr/bin/env python3
"""Writes the user's guide, resources/help.htm and resources/help.txt, from
the one text below, so the two never tell different stories.

In the text, `x` is a name to type or a file (code in HTML, as is in text) and
[x] a menu item, a button or a key (bold in HTML, as is in text).

    python3 scripts/make_help.py
"""
import html
import pathlib
import re
import textwrap

TITLE = "Sonivel 2.0 - User's guide"
INTRO = [
    ("p", "Sonivel plays uncompressed (PCM) wave files and raises their sound "
          "format as it plays them: a recording made at 11025 Hz in 8-bit mono "
          "can come out at 44100 Hz in 16-bit stereo. It can also write the "
          "converted sound to a new wave file, one file at a time from the "
          "window or whole folders at once with `sonivel-convert`, so an old "
          "collection can be brought up to date once and for all."),
    ("p", "Sonivel plays the wave files old collections hold: PCM of 8 to 32 "
          "bits, floating point, u-law, A-law, IMA and MS ADPCM and GSM 6.10, "
          "mono or stereo, at any rate from 4000 Hz. Rates other than 11025, "
          "22050 and 44100 Hz are raised at their exact ratio, always with the "
          "band-limited filter. A file above every output format (more than "
          "44100 Hz, more than 16 bits, floating point) plays and saves as it "
          "is, never lowered."),
]

SECTIONS = [
    ("playing", "Playing a file", [
        ("p", "[File > Open...] chooses a wave file. Its name appears in the "
              "title bar and the buttons under the bar become available."),
        ("dl", [
            ("[Play]", "plays the file from the place the bar shows. While a "
                       "file plays, the same button reads [Stop]."),
            ("[Stop]", "stops. The bar stays where playback stopped, and the "
                       "next [Play] carries on from there."),
            ("[Rewind]", "stops and puts the bar back at the start."),
            ("[Previous Track] and [Next Track]",
             "go to the file before or after the current one in the playlist "
             "and play it if a file was playing. They are available when the "
             "playlist holds two files or more."),
            ("[Playlist...]", "opens the playlist editor (see \"The playlist\")."),
        ]),
        ("p", "The bar at the top shows where playback stands, and the time "
              "under the buttons shows it in hours, minutes, seconds and "
              "tenths (0:01:23.4). Click the bar where playback should be, or "
              "drag its handle there: while a file plays, playback continues "
              "from that place as soon as you let go; while stopped, the next "
              "[Play] starts there. With the keyboard, the arrow keys move it a "
              "little and Page Up and Page Down a tenth of the file."),
        ("p", "When a file has played to its end, the bar goes back to the "
              "start and the next file of the playlist plays. After the last "
              "one playback stops, unless [Options > Auto repeat] is on: then "
              "the playlist starts again with its first file."),
        ("p", "When the next file plays in the same output format, it follows "
              "without a gap: a song that runs across two files, a tape side "
              "cut into tracks or a live set sounds as one. The window shows "
              "the next file the moment it starts to sound. A next file that "
              "needs another format, or makes Sonivel ask a question, starts "
              "after a short pause instead."),
        ("p", "Other ways to open a file:"),
        ("ul", [
            "Drop a wave file from the file manager onto the window. A "
            "folder dropped there stands for the wave files in it and in its "
            "subfolders: they become the playlist, in the order a listing "
            "shows them (\"Track 2\" before \"Track 10\"), and the first "
            "becomes the current file.",
            "Choose one of the last five files you opened, listed at the "
            "bottom of the [File] menu.",
            "Start Sonivel with files or folders: `sonivel \"Side A.wav\" "
            "\"Side B.wav\"`. The first file plays and all of them form the "
            "playlist, in the order given. If Sonivel is already running, "
            "the running window takes them the same way, and no second "
            "window opens. A name that starts with a dash goes after `--`: "
            "`sonivel -- -intro.wav`. `sonivel --help` shows the usage and "
            "where the settings are kept, `sonivel --version` the version.",
            "Open wave files from the file manager once Sonivel is the "
            "program for wave files (see \"Options\"): several files "
            "chosen together all join the playlist.",
        ]),
        ("p", "The desktop's media controls (the play, pause, next and "
              "previous keys, and the sound menu of the panel) work the "
              "buttons of the window."),
        ("p", "The [File] menu holds:"),
        ("dl", [
            ("[Open...]", "chooses a file to play (see above)."),
            ("[Save As...]", "writes the converted sound to a new file (see "
                             "\"Saving the converted sound\")."),
            ("[Open playlist...] and [Edit playlist...]", "see \"The playlist\"."),
            ("The last five files", "opened again with one click."),
            ("[Exit]", "closes Sonivel; the settings, the recent files and "
                       "the playlist folders are kept for next time."),
        ]),
        ("p", "Every menu item and button can be reached from the keyboard: "
              "hold [Alt] and press the underlined letter."),
    ]),
    ("format", "The output format", [
        ("p", "The [Output format] menu chooses what you hear and what "
              "[File > Save As...] writes:"),
        ("dl", [
            ("[22050 Hz] and [44100 Hz]", "the sample rate."),
            ("[8 bits per sample] and [16 bits per sample]", "the sample width."),
            ("[Mono] and [Stereo]", "one or two channels."),
            ("[Stereo effects]",
             "for a mono file played in stereo, the right channel carries the "
             "sound 63.5 milliseconds (700/11025 of a second) ahead of the "
             "left, which gives an old mono recording some width. Without it "
             "both channels carry the same sound. It changes nothing for "
             "stereo files or for mono output."),
            ("[High-quality interpolation]",
             "how the new samples between the file's own are computed when "
             "the rate is raised (see \"High-quality interpolation\")."),
        ]),
        ("p", "A change of format while a file plays takes effect at once, "
              "from the place the file had reached."),
        ("p", "Sonivel only ever raises quality. Rates are doubled or "
              "quadrupled, with new samples computed between the original "
              "ones; 8-bit samples become 16-bit; mono becomes stereo."),
    ]),
    ("interpolation", "High-quality interpolation", [
        ("p", "When the rate is doubled or quadrupled, new samples go between "
              "the file's own. Without [High-quality interpolation] each new "
              "sample lies on the straight line between its two neighbours, "
              "the way Sonivel has always done it. That leaves faint mirror "
              "images of every sound above the file's own top frequency, and "
              "high notes lose some level: a 4.5 kHz whistle in an 11025 Hz "
              "recording comes back with a 6.5 kHz one only 6 dB quieter, and "
              "the hiss of an 8-bit file is mirrored up to 22 kHz."),
        ("p", "With [Output format > High-quality interpolation] checked, the "
              "new samples come from a band-limited filter (a windowed sinc "
              "reading 36 of the file's samples on either side). The file's "
              "own samples pass unchanged, the band keeps its full level up "
              "to 0.45 of the file's rate, and the mirror images are gone: "
              "nothing the conversion adds comes within 95 dB of the sound in "
              "16-bit output. In 8-bit output the new samples are rounded to "
              "the nearest 8-bit value, which adds no more than the 8-bit "
              "file's own noise."),
        ("p", "A tone of -6 dBFS, measured over one second, with its level "
              "and the strongest other component beside it:"),
        ("dl", [
            ("An 11025 Hz file, a 1000 Hz tone",
             "classic -0.2 dB, the other component 38 dB below; high "
             "quality 0.0 dB, nothing within 98 dB."),
            ("An 11025 Hz file, a 3000 Hz tone",
             "classic -2.0 dB, 16 dB below; high quality 0.0 dB, nothing "
             "within 98 dB."),
            ("An 11025 Hz file, a 4500 Hz tone",
             "classic -4.8 dB, 6 dB below; high quality 0.0 dB, nothing "
             "within 98 dB."),
            ("A 22050 Hz file, a 9900 Hz tone",
             "classic -4.7 dB, 3 dB below; high quality 0.0 dB, nothing "
             "within 98 dB."),
        ]),
        ("p", "The classic way stays the default. Keep it to get exactly the "
              "files earlier versions of Sonivel wrote, or when you like the "
              "extra brightness the mirrored highs give a dull recording. The "
              "high-quality way takes a little more of the processor, still a "
              "small fraction of the time the sound lasts. A change while a "
              "file plays takes effect at once; files at the output's own "
              "rate are not filtered at all."),
    ]),
    ("raise", "Why Sonivel asks to raise the format", [
        ("p", "Sonivel never makes a file sound worse than it is. When the "
              "output format you chose is below the file's own in any way (a "
              "44100 Hz file with 22050 Hz chosen, a 16-bit file with 8 bits, "
              "a stereo file with mono), Sonivel would have to throw sound "
              "away, so it asks instead whether it should raise the output "
              "format for you."),
        ("ul", [
            "Answer [Yes]: only what falls short is raised, the [Output "
            "format] menu shows the new choice, and the file plays or is "
            "saved.",
            "Answer [No]: the file is not played or saved, and the menu stays "
            "as it was.",
        ]),
        ("p", "`sonivel-convert` cannot ask: it refuses such a file and says "
              "which format it would use; add `--yes` to accept it."),
    ]),
    ("saving", "Saving the converted sound", [
        ("p", "[File > Save As...] writes the converted sound, in the output "
              "format, to a new wave file. Saving starts at the place the bar "
              "shows: stop first, put the bar where the new file should begin "
              "(at the start for the whole file), then choose [Save As...]. "
              "While a file plays, Sonivel asks you to stop first."),
        ("p", "The words \"Writing to disk\" show while the file is written, "
              "and the bar shows how far it has got. With [Options > Play "
              "while saving to disk] on, Sonivel plays the sound as it writes "
              "it; otherwise the file is written as fast as the computer "
              "allows."),
        ("p", "Sonivel never writes over the file it is reading. A save that "
              "is stopped ([Stop], or closing Sonivel) leaves a valid, shorter "
              "wave file."),
    ]),
    ("playlist", "The playlist", [
        ("p", "The playlist is the list of files that [Next Track] and "
              "[Previous Track] go through and that plays on from one file to "
              "the next. Opening a single file makes it the only file of the "
              "playlist."),
        ("p", "[Playlist...], or [File > Edit playlist...], opens the editor. "
              "The playlist is on its left. On its right are the folders; "
              "click one to open it. The wave files of the open folder are "
              "listed in the middle, above the list of disks (the root folder "
              "and the other mounted file systems)."),
        ("dl", [
            ("[<< Add all]", "adds every file of the middle list to the playlist."),
            ("[<< Add]", "adds the selected files (or double-click a file)."),
            ("[Remove >>]", "takes the selected entries out of the playlist "
                            "(or double-click an entry, or press Delete in "
                            "the playlist)."),
            ("[Remove all >>]", "empties the playlist."),
            ("[Open playlist...]", "loads a playlist file: Sonivel's own "
                                   "(`.snl`), or an M3U (`.m3u`, `.m3u8`) or "
                                   "PLS (`.pls`) list written by another "
                                   "player."),
            ("[Save playlist...]", "saves the playlist to a file: Sonivel's "
                                   "own (`.snl`, the default) or M3U8 "
                                   "(`.m3u8`, which other players read), by "
                                   "the kind chosen in the dialog or the "
                                   "suffix typed."),
            ("[Close]", "closes the editor. Playback stops and the first file "
                        "of the playlist becomes the current file."),
        ]),
        ("p", "A file already in the playlist is not added twice. Wave files "
              "can also be dropped on the playlist from the file manager; a "
              "folder dropped there adds the wave files in it and in its "
              "subfolders. [File > Open playlist...] in the main window loads "
              "a playlist file without opening the editor."),
        ("p", "A playlist file is plain text: one full path per line. In an "
              "M3U or PLS list, names are relative to the list's folder "
              "unless they are full paths or `file://` addresses, and lines "
              "starting with `#` are comments. Entries of such a list that "
              "are missing or are not wave files are left out, and a message "
              "names them."),
    ]),
    ("options", "Options", [
        ("dl", [
            ("[Play while saving to disk]", "see \"Saving the converted sound\"."),
            ("[Auto repeat]", "after the last file of the playlist, start "
                              "again with the first."),
            ("[Language]", "English or French (Français), for the menus, the "
                           "buttons and the messages. The first time Sonivel starts "
                           "it speaks your desktop's language (French on a French "
                           "desktop, else English); from then on your choice is "
                           "kept."),
            ("[Create shortcut in Start Menu]",
             "puts Sonivel in your desktop's menu of programs."),
            ("[Associate wave files with Sonivel]",
             "makes Sonivel the program that opens wave files from the file "
             "manager, and lists it under Open With."),
        ]),
        ("p", "The [Help] menu opens this guide in your web browser "
              "([In HTML format]) or in your text editor ([In text format]); "
              "[About...] shows where to write to."),
    ]),
    ("convert", "Converting from the command line", [
        ("p", "`sonivel-convert` converts without a window, with the same "
              "engine and exactly the same result as [Save As...]. One file "
              "to one file:"),
        ("pre", "sonivel-convert old.wav new.wav\n"
                "sonivel-convert old.wav new.wav --rate 22050 --bits 8 --mono"),
        ("p", "A whole collection: give files and folders, and an output "
              "folder last. Every file ending in `.wav` (in any letter case) "
              "below a folder is converted to the same place under the output "
              "folder; folders are made as needed. Several files are "
              "converted at once, one per processor unless `--jobs` says "
              "otherwise."),
        ("pre", "sonivel-convert ~/Music/Old\\ tapes ~/Music/Converted\n"
                "sonivel-convert --dry-run ~/Music/Old\\ tapes ~/Music/Converted\n"
                "sonivel-convert --skip-existing ~/Music/Old\\ tapes ~/Music/Converted"),
        ("dl", [
            ("`--rate 22050|44100`, `--bits 8|16`, `--mono`, `--stereo`",
             "the output format (44100 Hz, 16 bits, stereo when not given)."),
            ("`--effects`, `--no-effects`", "the stereo effect (on when not given)."),
            ("`--interpolation linear|hq`", "the classic in-between samples "
                                            "(when not given) or the "
                                            "high-quality ones."),
            ("`--seek 0..1000`", "start this far into each file, in thousandths."),
            ("`--yes`", "raise the output format where a file needs it, "
                        "instead of refusing the file."),
            ("`--jobs N`", "how many files are converted at once."),
            ("`--force`", "replace outputs that exist already; without it an "
                          "existing output is kept, for one file as into a "
                          "folder."),
            ("`--skip-existing`", "keep outputs that exist already and "
                                  "convert the rest."),
            ("`--dry-run`", "list where each file would go and what it "
                            "would become (its output format, or kept as "
                            "it is), and write nothing. Refusals are "
                            "grouped by reason, with their count."),
            ("`--lang en` or `--lang fr`", "every message in English or in "
                                          "French; without it, in the "
                                          "desktop's language."),
        ]),
        ("p", "In a folder each output is written under a temporary name and "
              "renamed when it is complete, so an interrupted run ([Ctrl+C], "
              "or a full disk) never leaves a half-written file under a real "
              "name, and `--skip-existing` carries on where it stopped. An "
              "input is never written over. A file that cannot be converted "
              "does not stop the others: the summary at the end lists each "
              "with the reason."),
        ("p", "The exit status is 0 when every file was written, 1 when any "
              "was refused or failed, 2 for a mistake in the command, and 130 "
              "when interrupted. `sonivel-convert --help` lists every option."),
    ]),
    ("files", "The files Sonivel writes", [
        ("dl", [
            ("Settings", "`~/.config/Korvath/Sonivel.conf`: the output "
                         "format, the options, the language, the recent "
                         "files and the folders last used. Delete it to start "
                         "afresh with the defaults (44100 Hz, 16 bits, stereo, "
                         "stereo effects on, classic interpolation). On Windows they are kept in the "
                         "registry under `HKEY_CURRENT_USER\\Software\\Korvath\\Sonivel`."),
            ("Menu entry", "`~/.local/share/applications/sonivel.desktop`, "
                           "written by [Create shortcut in Start Menu], with "
                           "the icon under `~/.local/share/icons/hicolor`."),
            ("Wave-file association",
             "`~/.local/share/applications/sonivel-open.desktop`, and the "
             "wave types' entries in `~/.config/mimeapps.list`, written by "
             "[Associate wave files with Sonivel]."),
            ("While running", "`Sonivel.instance.lock` and "
                              "`Sonivel.startup.lock` beside the settings, "
                              "which tell a second start of Sonivel to hand "
                              "its file to the running window."),
        ]),
        ("p", "The sound goes to the system's sound server (PipeWire or "
              "PulseAudio) or to ALSA. The variable `SDL_AUDIODRIVER` chooses "
              "another: `pulseaudio`, `pipewire` or `alsa`."),
    ]),
    ("messages", "Messages", [
        ("dl", [
            ("Error opening file", "the file does not exist any more or "
                                   "cannot be read. It is taken out of the "
                                   "playlist."),
            ("Not a wave file", "the file is not a RIFF wave file."),
            ("Couldn't get format chunk; Error reading format",
             "the file's description of its format is missing or damaged."),
            ("Couldn't get data chunk", "the file holds no sound after its "
                                        "format description."),
            ("Only noncompressed wave files with 11025, 22050 or 44100 Hz "
             "sampling rates are supported in this version.",
             "the file uses an encoding Sonivel does not read, a rate below "
             "4000 Hz, more than two channels or more than 32 bits per sample, "
             "or its compressed sound cannot be decoded; the converter says "
             "which in words."),
            ("The output quality is too low and Sonivel cannot reduce the "
             "sound quality of a file...",
             "see \"Why Sonivel asks to raise the format\"."),
            ("Couldn't detect sound device; Couldn't open sound device",
             "no sound output could be found or opened. Everything else, "
             "saving included, still works. Check that the sound server "
             "runs, or choose another driver with `SDL_AUDIODRIVER`."),
            ("Incompatible sound device; Couldn't prepare sound header",
             "the sound output refused the sound. Try another output format."),
            ("Couldn't allocate memory for sound",
             "the computer is out of memory; Sonivel closes."),
            ("Could not write wave file.",
             "the new file could not be made, or the disk filled up. What was "
             "written so far is a valid wave file. With a second line saying "
             "the converted sound would be larger than 4 GiB: a wave file "
             "cannot hold more, and nothing was written; start later in the "
             "file or choose a lower output format."),
            ("There are no wave files in this folder",
             "a folder was dropped or given, and neither it nor its "
             "subfolders hold a file ending in `.wav`."),
            ("Missing or not wave files, these names of the list were left out",
             "an M3U or PLS playlist named files that are not there, or that "
             "are not wave files; the others were loaded."),
            ("You cannot overwrite the file you opened.",
             "[Save As...] needs another name than the file being played."),
            ("First, stop playback and set the indicator to the position you "
             "want saving to start at.",
             "[Save As...] works while stopped; see \"Saving the converted "
             "sound\"."),
            ("You have no files in your playlist, so there is no point in "
             "saving it.", "add files before saving a playlist."),
            ("Could not open your web browser; Could not open help text file.",
             "this guide could not be shown; the other format may work."),
        ]),
    ]),
]


def inline_html(text):
    out = html.escape(text, quote=False)
    out = re.sub(r"`([^`]+)`", r"<code>\1</code>", out)
    out = re.sub(r"\[([^\]]+)\]", r"<b>\1</b>", out)
    return out


def inline_text(text):
    return re.sub(r"\[([^\]]+)\]", r"\1", text.replace("`", ""))


def make_html():
    lines = [
        "<!DOCTYPE html>",
        '<html lang="en">',
        "<head>",
        '<meta charset="utf-8"/>',
        f"<title>{html.escape(TITLE)}</title>",
        "<style>",
        "body { font-family: sans-serif; max-width: 46em; margin: 2em auto; padding: 0 1em;"
        " line-height: 1.45; color: #222; }",
        "h1, h2 { color: #1f3f7f; }",
        "h2 { border-bottom: 1px solid #ccd; margin-top: 2em; }",
        "dt { font-weight: bold; margin-top: .6em; }",
        "dd { margin-left: 1.5em; }",
        "pre { background: #f4f4f8; padding: .6em; overflow-x: auto; }",
        "code { background: #f4f4f8; white-space: nowrap; }",
        "pre code { white-space: pre; }",
        "nav li { margin: .15em 0; }",
        "</style>",
        "</head>",
        "<body>",
        f"<h1>{html.escape(TITLE)}</h1>",
    ]
    for kind, body in INTRO:
        lines.append(f"<p>{inline_html(body)}</p>")
    lines.append('<nav aria-label="Contents">')
    lines.append("<h2>Contents</h2>")
    lines.append("<ol>")
    for ident, title, _ in SECTIONS:
        lines.append(f'<li><a href="#{ident}">{html.escape(title)}</a></li>')
    lines.append("</ol>")
    lines.append("</nav>")
    for number, (ident, title, blocks) in enumerate(SECTIONS, 1):
        lines.append(f'<section id="{ident}">')
        lines.append(f"<h2>{number}. {html.escape(title)}</h2>")
        for kind, body in blocks:
            if kind == "p":
                lines.append(f"<p>{inline_html(body)}</p>")
            elif kind == "pre":
                lines.append(f"<pre><code>{html.escape(body, quote=False)}</code></pre>")
            elif kind == "ul":
                lines.append("<ul>")
                lines.extend(f"<li>{inline_html(item)}</li>" for item in body)
                lines.append("</ul>")
            elif kind == "dl":
                lines.append("<dl>")
                for term, desc in body:
                    lines.append(f"<dt>{inline_html(term)}</dt>")
                    lines.append(f"<dd>{inline_html(desc)}</dd>")
                lines.append("</dl>")
        lines.append("</section>")
    lines += ["</body>", "</html>", ""]
    return "\n".join(lines)


def make_text(width=72):
    fill = lambda text, indent="", first=None: textwrap.fill(
        text, width, initial_indent=first if first is not None else indent,
        subsequent_indent=indent, break_on_hyphens=False, break_long_words=False)
    out = [TITLE, "=" * len(TITLE), ""]
    for kind, body in INTRO:
        out += [fill(inline_text(body)), ""]
    out += ["Contents", ""]
    for number, (_, title, _) in enumerate(SECTIONS, 1):
        out.append(f"  {number}. {title}")
    out.append("")
    for number, (_, title, blocks) in enumerate(SECTIONS, 1):
        heading = f"{number}. {title}"
        out += ["", heading, "-" * len(heading), ""]
        for kind, body in blocks:
            if kind == "p":
                out += [fill(inline_text(body)), ""]
            elif kind == "pre":
                out += ["    " + line for line in body.split("\n")] + [""]
            elif kind == "ul":
                for item in body:
                    out.append(fill(inline_text(item), "    ", "  - "))
                out.append("")
            elif kind == "dl":
                for term, desc in body:
                    out.append(fill(inline_text(term), "  ", "  "))
                    out.append(fill(inline_text(desc)[0].upper() + inline_text(desc)[1:], "      "))
                    out.append("")
    while out and out[-1] == "":
        out.pop()
    return "\n".join(out) + "\n"


def main():
    root = pathlib.Path(__file__).resolve().parent.parent / "resources"
    (root / "help.htm").write_text(make_html(), encoding="utf-8")
    (root / "help.txt").write_text(make_text(), encoding="utf-8")


if __name__ == "__main__":
    main()
