#!/usr/bin/env python3
"""Writes mp3partwell's manual page and its bash completion from the program's own help
texts (`mp3partwell --help` and `mp3partwell COMMAND --help`), so that every command and
option the program has appears in both without anyone editing them.

  cli_docs.py --program PATH [--man-template IN --man OUT] [--completion OUT]

The page's date is SOURCE_DATE_EPOCH when set, else the last commit's, else today.
"""
import argparse
import datetime
import os
import re
import subprocess
import sys

# The help formatter starts every description in this column (CLI11's default width).
DESCRIPTION_COLUMN = 30

# What the help shows after an option's names: its type and check, default, count and rules
# (a flag shows only its rules).
ATTRIBUTES = re.compile(
    r"^(?:(?P<type>[A-Z][A-Z0-9_]*)(?::(?P<check>[^=]*?))?)?(?:=(?P<default>.*?))?"
    r"(?P<many> \.\.\.)?"
    r"(?: x (?P<count>\d+))?(?P<required> REQUIRED)?(?: \(Env:(?P<env>[^)]*)\))?"
    r"(?:(?:^| )Needs:(?P<needs>(?: -[^ ]+)+))?(?:(?:^| )Excludes:(?P<excludes>(?: -[^ ]+)+))?$")


class Entry:
    """One line of a help section: a command, a positional argument or an option."""

    def __init__(self, head, description):
        names, _, self.attributes = head.partition(" ")
        self.names = names.split(",")
        self.description = description
        self.wide_head = None

    @property
    def takes_value(self):
        # Flags show no type; a value-taking option shows its type first (TEXT, INT, ...).
        return bool(self.attributes) and not self.attributes.startswith(("(", "Needs:", "Excludes:"))


class Help:
    """One help text, split into its description, usage, sections and examples. An option
    group made with add_option_group is a section of its own, indented by two more spaces."""

    def __init__(self, text):
        self.description = []
        self.usage = ""
        self.sections = {}  # title -> [Entry], in the order printed
        self.section_notes = {}  # title -> an option group's description
        self.notes = []  # footer text other than examples
        self.examples = []
        section = None
        indent = 2
        for line in text.splitlines():
            stripped = line.strip()
            group = re.match(r"^\[Option Group: (.*)\]$", line)
            if line.startswith("Usage: "):
                self.usage = line[len("Usage: "):].strip()
            elif group:
                section, indent = group.group(1), 4
                self.sections[section] = []
            elif re.match(r"^\S.*:$", line) and self.usage:
                section, indent = line[:-1], 2
                if not section.startswith("Example"):
                    self.sections[section] = []
            elif section is None:
                if stripped:
                    self.description.append(stripped)
            elif section.startswith("Example"):
                if stripped:
                    self.examples.append(stripped)
            elif not stripped or (indent == 4 and line == "  Options:"):
                continue
            elif re.match(r"^\S", line):
                self.notes.append(stripped)
            elif indent == 4 and re.match(r"^  \S", line):
                self.section_notes[section] = stripped
            elif line.startswith(" " * (DESCRIPTION_COLUMN + indent - 2)) and self.sections[section]:
                entries = self.sections[section]
                if entries[-1].wide_head:
                    entries[-1] = entries[-1].wide_head
                entries[-1].description.append(stripped)
            elif re.match(r"^" + " " * indent + r"\S", line):
                self.sections[section].append(ParseEntry(line, indent))
            else:
                raise ValueError(f"unexpected help line: {line!r}")

    def entries(self, title):
        return self.sections.get(title, [])

    def options(self):
        """Every option of every option group, leaving out the help flag."""
        return [entry for title, entries in self.sections.items()
                if title not in ("Positionals", "Subcommands")
                for entry in entries if "--help" not in entry.names]


def ParseEntry(line, indent):
    """An entry whose description starts in the column, or, for a head as wide as the
    column or wider, on the next line. When both readings fit the line, the entry keeps
    the wide one in `wide_head`, taken if the next line turns out to be a description."""
    column = DESCRIPTION_COLUMN + indent - 2
    whole = Entry(line.strip(), [])
    if len(line) > column and line[column - 1] == " " and line[column] != " ":
        entry = Entry(line[:column].strip(), [line[column:].strip()])
        if ATTRIBUTES.match(whole.attributes):
            entry.wide_head = whole
        return entry
    return whole


def RunHelp(program, *arguments):
    result = subprocess.run([program, *arguments, "--help"], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"{program} {' '.join(arguments)} --help exited with {result.returncode}")
    return Help(result.stdout)


def ReadProgram(program):
    """The program's help, each command's help by name, and its version text."""
    main = RunHelp(program)
    commands = {entry.names[0]: RunHelp(program, entry.names[0])
                for entry in main.entries("Subcommands")}
    version = subprocess.run([program, "--version"], capture_output=True, text=True,
                             check=True).stdout.strip()
    return main, commands, version


# The manual page.

def Roff(text):
    """Text for a roff line: backslashes escaped, option dashes as minus signs."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![A-Za-z0-9])-+", lambda m: "\\-" * len(m.group()), text)
    return "\\&" + text if text.startswith((".", "'")) else text


def Sentence(text):
    return text if text.endswith((".", "!", "?")) else text + "."


def UsageRoff(usage):
    """A usage line as a synopsis line: the program and command bold, arguments italic."""
    words = usage.split()
    command = [w for w in words if re.match(r"^[a-z0-9-]+$", w)]
    rest = words[len(command):]
    arguments = " ".join(re.sub(r"([A-Z][A-Z_]*)", r"\\fI\1\\fR", Roff(w)) for w in rest)
    return f".B {' '.join(command)}\n{arguments}".rstrip()


def EntryRoff(entry, positional):
    """A .TP item: the names and value, then the description and the option's rules."""
    match = ATTRIBUTES.match(entry.attributes.strip())
    notes = []
    if positional:
        tag = f"\\fI{Roff(entry.names[0])}\\fR"
        value = ""
    else:
        tag = ", ".join(f"\\fB{Roff(name)}\\fR" for name in entry.names)
        value = ""
        if match and match["type"]:
            value = f" \\fI{match['type']}\\fR"
        elif entry.attributes and not match:
            value = f" \\fI{Roff(entry.attributes)}\\fR"
    if match:
        if match["many"]:
            tag += "\\&..." if positional else ""
            value += "\\&..." if not positional else ""
        if match["check"]:
            notes.append(f"Value: {Roff(match['check'])}.")
        if match["count"]:
            notes.append(f"Takes {match['count']} values.")
        if match["default"]:
            notes.append(f"Default: \\(lq{Roff(match['default'])}\\(rq.")
        if match["required"]:
            notes.append("Required.")
        if match["needs"]:
            notes.append(f"Needs {Roff(', '.join(match['needs'].split()))}.")
        if match["excludes"]:
            notes.append(f"Cannot be given with {Roff(', '.join(match['excludes'].split()))}.")
    description = " ".join(Sentence(Roff(line)) for line in entry.description)
    return "\n".join([".TP", tag + value, " ".join(filter(None, [description, *notes]))])


def CommandRoff(name, help):
    lines = [f".SS {name}", " ".join(Sentence(Roff(line)) for line in help.description)]
    for title, entries in help.sections.items():
        positional = title == "Positionals"
        if title in help.section_notes:
            lines += [".PP", f"{Roff(title)}: {Sentence(Roff(help.section_notes[title]))}"]
        lines += [EntryRoff(entry, positional) for entry in entries
                  if "--help" not in entry.names]
    if help.notes:
        lines += [".PP", " ".join(Roff(line) for line in help.notes)]
    return "\n".join(lines)


def ExamplesRoff(commands):
    blocks = []
    for help in commands.values():
        blocks += [".PP", ".RS 4", ".nf"]
        blocks += [Roff(example) for example in help.examples]
        blocks += [".fi", ".RE"]
    return "\n".join(blocks)


def PageDate():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        here = os.path.dirname(os.path.abspath(__file__))
        result = subprocess.run(["git", "-C", here, "log", "-1", "--format=%ct"],
                                capture_output=True, text=True)
        epoch = result.stdout.strip() if result.returncode == 0 else ""
    when = (datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc) if epoch
            else datetime.datetime.now(datetime.timezone.utc))
    return when.strftime("%Y-%m-%d")


def ManPage(template, main, commands, version):
    summary = main.description[0].rstrip(".")
    fields = {
        "DATE": PageDate(),
        "VERSION": version.split()[-1],
        "SUMMARY": Roff(summary[0].lower() + summary[1:]),
        "SYNOPSIS": "\n.br\n".join(UsageRoff(help.usage) for help in commands.values()),
        "OPTIONS": "\n".join(EntryRoff(entry, False) for entry in
                             [e for t, es in main.sections.items() if t != "Subcommands"
                              for e in es]),
        "COMMANDS": "\n".join(CommandRoff(name, help) for name, help in commands.items()),
        "EXAMPLES": ExamplesRoff(commands),
    }
    return re.sub(r"@([A-Z]+)@", lambda m: fields[m.group(1)], template)


# The bash completion.

def ValueCompletion(entry):
    """What an option's value completes to, from its description: folders, files or nothing."""
    # The name fields of a template (%file%) say nothing about the value.
    text = re.sub(r"%\w+%", "", " ".join(entry.description).lower())
    if "folder" in text or "directory" in text:
        return "folders"
    if "file" in text or "sheet" in text:
        return "files"
    return "none"


def Completion(main, commands):
    def Words(entries):
        return " ".join(name for entry in entries for name in entry.names)

    cases = []
    for name, help in commands.items():
        options = help.options()
        values = {kind: " ".join(n for e in options if e.takes_value
                                 and ValueCompletion(e) == kind for n in e.names)
                  for kind in ("folders", "files", "none")}
        cases.append(f"""    {name})
      options="{" ".join(filter(None, [Words(options), "-h --help"]))}"
      folder_options="{values['folders']}"
      file_options="{values['files']}"
      typed_options="{values['none']}" ;;""")
    top = " ".join([Words(main.entries("Subcommands")), Words(main.entries("Options"))])
    return f"""# bash completion for mp3partwell, written from its --help texts by packaging/cli_docs.py.
_mp3partwell() {{
  local cur=${{COMP_WORDS[COMP_CWORD]}} prev=${{COMP_WORDS[COMP_CWORD-1]}}
  local command="" i options folder_options file_options typed_options
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${{COMP_WORDS[i]}} in
      {"|".join(commands)}) command=${{COMP_WORDS[i]}}; break ;;
    esac
  done
  case $command in
    "")
      mapfile -t COMPREPLY < <(compgen -W "{top}" -- "$cur")
      return ;;
{chr(10).join(cases)}
  esac
  if [[ " $folder_options " == *" $prev "* ]]; then
    compopt -o filenames
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
  elif [[ " $file_options " == *" $prev "* ]]; then
    compopt -o filenames
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  elif [[ " $typed_options " == *" $prev "* ]]; then
    COMPREPLY=()
  elif [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  else
    compopt -o filenames
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}}
complete -F _mp3partwell mp3partwell
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--man-template")
    parser.add_argument("--man")
    parser.add_argument("--completion")
    arguments = parser.parse_args()
    main_help, commands, version = ReadProgram(arguments.program)
    if arguments.man:
        with open(arguments.man_template, encoding="utf-8") as template:
            page = ManPage(template.read(), main_help, commands, version)
        with open(arguments.man, "w", encoding="utf-8") as out:
            out.write(page)
    if arguments.completion:
        with open(arguments.completion, "w", encoding="utf-8") as out:
            out.write(Completion(main_help, commands))


if __name__ == "__main__":
    main()
