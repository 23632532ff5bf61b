"""The label as every platform shows it, and what the scenarios check it
against: the colours they sample and the patches that show them, the
pointer's parking spot, tintora-name's answers, the checks of a label
picture (frame, fill, text grey, OCR of the texts) and the reading of the
label's menu. Python standard library only.
"""

from e2e_lib import E2EFailure, check, ocr_text, ocr_words

# What the label shows before its first sample.
FIRST_NAME = "Mossvane"

# A parking spot for the pointer, on the desktop's background, far from
# every patch and from the label's usual places.
PARK = (1000, 740)

# Colours covering every name the label can show, with the patch each gets.
# Black comes last: a first sample of black would change nothing.
NAMED_COLOURS = [
    "ff0000",  # Red
    "ff8000",  # Orange
    "804000",  # Brown
    "808000",  # Brown Yellowish
    "ffff00",  # Yellow
    "00ff00",  # Green
    "00ffff",  # Cyan Greenish
    "0080ff",  # Blue
    "00e0ff",  # Cyan Bluish
    "0000ff",  # Blue
    "8000ff",  # Violet
    "ff00ff",  # Violet
    "ffc0cb",  # Pink
    "64646e",  # Grey with a hue hint
    "808080",  # Grey and a percentage
    "b2b2b2",  # light grey, still light text
    "b3b3b3",  # light grey, dark text
    "f0f0f0",  # Grey 7%
    "010101",  # Grey 98%
    "ffffff",  # White
    "000000",  # Black
]

# The label's menu, top to bottom.
MENU_ITEMS = ["Launch on startup", "About", "Exit"]


def about_title(version):
    """The first line of the About box."""
    return "Tintora Beta " + version


def grid_patches(colours, left=40, top=120, size=64, step=96, columns=9):
    """Patches (x, y, width, height, colour) laid out in a grid below the
    label's default place."""
    patches = []
    for i, colour in enumerate(colours):
        x = left + (i % columns) * step
        y = top + (i // columns) * step
        patches.append((x, y, size, size, colour))
    return patches


def centre(patch):
    x, y, w, h, _ = patch
    return (x + w // 2, y + h // 2)


def rgb_of(hex_colour):
    return tuple(int(hex_colour[i : i + 2], 16) for i in (0, 2, 4))


def namer_arguments(colours):
    return ["#" + c for c in colours]


def namer_answers(result, colours):
    """name, qualifier, J, C, H for each colour, from a finished run of
    tintora-name over namer_arguments(colours)."""
    check(result.returncode == 0, "tintora-name failed: %s" % result.stderr.strip())
    answers = {}
    for line in result.stdout.splitlines():
        cells = line.rstrip("\r").split("\t")
        if len(cells) == 6 and cells[0].startswith("#"):
            answers[cells[0][1:].lower()] = (cells[1], cells[2], float(cells[3]), float(cells[4]), float(cells[5]))
    for colour in colours:
        check(colour in answers, "tintora-name gave no answer for #%s" % colour)
    return answers


def label_paint_failures(shot, rgb, frame, grey, frame_share=1.0):
    """Frame, fill and text grey of a label picture: the one-pixel edge in the
    frame colour (the corners always, and at least frame_share of the edge),
    the sample as the most common inner colour, and some pixels of the text
    grey. Returns the failures and the fill found."""
    width, height = shot.width, shot.height
    x0, y0 = shot.left, shot.top
    failures = []
    edge = [(x, y0) for x in range(x0, x0 + width)] + [(x, y0 + height - 1) for x in range(x0, x0 + width)]
    edge += [(x0, y) for y in range(y0, y0 + height)] + [(x0 + width - 1, y) for y in range(y0, y0 + height)]
    framed = sum(1 for p in edge if shot.pixel(*p) == frame)
    corners = [(x0, y0), (x0 + width - 1, y0), (x0, y0 + height - 1), (x0 + width - 1, y0 + height - 1)]
    if any(shot.pixel(*p) != frame for p in corners) or framed < frame_share * len(edge):
        failures.append(
            "frame: %d of %d edge pixels are %s (corners %s)"
            % (framed, len(edge), frame, [shot.pixel(*p) for p in corners])
        )
    counts = {}
    for y in range(y0 + 1, y0 + height - 1):
        for x in range(x0 + 1, x0 + width - 1):
            p = shot.pixel(x, y)
            counts[p] = counts.get(p, 0) + 1
    fill = max(counts, key=counts.get)
    if fill != rgb:
        failures.append("background: most common inner colour %s, expected %s" % (fill, rgb))
    ink = counts.get((grey, grey, grey), 0)
    if ink < 5:
        failures.append("text grey %d: only %d pixels of it" % (grey, ink))
    return failures, fill


def read_label_texts(shot, grey, rgb, name, qualifier, split=None, qualifier_readable=True):
    """OCR of a label picture's texts inside its frame. The name and the
    qualifier are read apart at x = split: the qualifier's face is much
    smaller and reads better enlarged on its own. A qualifier too small for
    OCR (qualifier_readable false) that is not read is no failure; the caller
    checks it otherwise. Returns the failures, the reading and whether the
    qualifier was read."""
    ink = (grey, grey, grey)
    left, top = shot.left + 1, shot.top + 1
    right, bottom = shot.left + shot.width - 1, shot.top + shot.height - 1
    if not qualifier:
        readings = ocr_text(shot.crop(left, top, right, bottom), ink, rgb, expected=name)
        failures = [] if name in readings else ["OCR read %s, expected %r" % (readings, name)]
        return failures, readings[-1], True
    failures = []
    names = ocr_text(shot.crop(left, top, split, bottom), ink, rgb, expected=name)
    if name not in names:
        failures.append("OCR read the name as %s, expected %r" % (names, name))
    quals = ocr_text(
        shot.crop(split, top, right, bottom), ink, rgb, expected=qualifier, scales=None if qualifier_readable else (8,)
    )
    read = qualifier in quals
    if not read and qualifier_readable:
        failures.append("OCR read the qualifier as %s, expected %r" % (quals, qualifier))
    return failures, names[-1] + " " + quals[-1], read


def read_menu(shot, row_tolerance=7):
    """The label's menu read from a picture of it: one row per item, top to
    bottom, with its text and its words' box (left, top, bottom, and y, the
    middle) in screen coordinates. Words whose middles lie within
    row_tolerance pixels make one row; OCR may read the check mark or its box
    as characters of their own before the first item's text, so leading words
    without a letter are dropped. Fails unless the rows read MENU_ITEMS."""
    rows = {}
    for word in ocr_words(shot):
        middle = (word["top"] + word["bottom"]) // 2
        key = next((k for k in rows if abs(k - middle) <= row_tolerance), middle)
        rows.setdefault(key, []).append(word)
    lines = []
    for key in sorted(rows):
        words = sorted(rows[key], key=lambda w: w["left"])
        while len(words) > 1 and not any(ch.isalpha() for ch in words[0]["text"]):
            words = words[1:]
        top, bottom = min(w["top"] for w in words), max(w["bottom"] for w in words)
        text = " ".join(w["text"] for w in words)
        lines.append({"text": text, "left": words[0]["left"], "top": top, "bottom": bottom, "y": (top + bottom) // 2})
    texts = [line["text"] for line in lines]
    check(texts == MENU_ITEMS, "menu items read %s" % texts)
    return lines


def menu_row(rows, text):
    """The row of read_menu() that shows the item text."""
    for row in rows:
        if row["text"] == text:
            return row
    raise E2EFailure("no menu item %r" % text)
