#!/usr/bin/env python3
"""Times prcdump on databases that ask for the most work per byte: -x of
65,535 resources of one type and ID, the listing of 65,535 duplicate fonts,
--png and --bdf of a font of ten large images, --bdf of a font of 4,500 empty
images, and -x of 6,000 inputs that share their file names. Prints wall time,
peak memory (/usr/bin/time -v), status and bytes written for each.
Usage: bench/prcdump_limits.py PRCDUMP WORK_DIR"""
import os, shutil, struct, subprocess, sys

def database(entries):
    head = b'Bench'.ljust(32, b'\0') + struct.pack('>HHIIIIII', 1, 1, 0, 0, 0, 0, 0, 0)
    head += b'FontPGwk' + struct.pack('>IIH', 0, 0, len(entries))
    offset, listing, data = 78 + 10 * len(entries) + 2, b'', b''
    for kind, id, body in entries:
        listing += kind + struct.pack('>HI', id, offset + len(data))
        data += body
    return head + listing + b'\0\0' + data

def v2_font(chars, rows, row_words, widths, images):
    """An nfnt of `images` 72-dpi images of rows x row_words words each."""
    loc_at = 30 + 6 * images
    ow_at = loc_at + 2 * (chars + 2)
    fields = (-0x6e00, 32, 31 + chars, 1, 0, 0, 1, rows, (ow_at - 16) // 2, rows, 0, 0, row_words)
    font = struct.pack('>13hHH', *fields, 1, images)
    image = rows * row_words * 2
    end = ow_at + 2 * (chars + 1)
    font += b''.join(struct.pack('>hI', 72, end + i * image) for i in range(images))
    column = 0
    for w in widths + [0] * (chars + 2 - len(widths)):
        font += struct.pack('>H', column)
        column += w
    return font + struct.pack('>bb', 0, 1) * (chars + 1) + b'\xaa' * (image * images)

def run(prcdump, work, name, args):
    out = os.path.join(work, 'out')
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    r = subprocess.run(['/usr/bin/time', '-v', prcdump] + args, cwd=work,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    stats = dict(l.strip().split(': ', 1) for l in r.stderr.splitlines() if ': ' in l.strip())
    written = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(out) for f in fs)
    print(f"{name:34} {stats.get('Elapsed (wall clock) time (h:mm:ss or m:ss)', '?'):>9} "
          f"{int(stats.get('Maximum resident set size (kbytes)', 0)) // 1024:>5} MB "
          f"status {r.returncode}  wrote {written / 1e6:.1f} MB")
    shutil.rmtree(out, ignore_errors=True)

def main(prcdump, work):
    os.makedirs(work, exist_ok=True)
    files = {
        'same.prc': database([(b'tAIN', 1, b'x')] * 65535),
        'fonts.prc': database([(b'NFNT', 0x80, b'x')] * 65535),
        'wide.prc': database([(b'nfnt', 0x80, v2_font(1, 240, 488, [3900, 1], 10))]),
        'empty.prc': database([(b'nfnt', 0x80, v2_font(96, 0, 0, [], 4500))]),
        'copy.prc': database([(b'tAIN', 1, b'y' * 48000)]),
    }
    for name, data in files.items():
        with open(os.path.join(work, name), 'wb') as f:
            f.write(data)
    copies = [f'copy{i}.prc' for i in range(6000)]
    for c in copies:
        if not os.path.exists(os.path.join(work, c)):
            os.symlink('copy.prc', os.path.join(work, c))
    run(prcdump, work, '-x, 65,535 of one type and ID', ['-x', 'out/x', 'same.prc'])
    run(prcdump, work, 'listing, 65,535 duplicate fonts', ['fonts.prc'])
    run(prcdump, work, '--png, ten large images', ['--png', 'out/p', 'wide.prc'])
    run(prcdump, work, '--bdf, ten large images', ['--bdf', 'out/b', 'wide.prc'])
    run(prcdump, work, '--bdf, 4,500 empty images', ['--bdf', 'out/b', 'empty.prc'])
    run(prcdump, work, '-x, 6,000 inputs of one name', ['-x', 'out/x'] + copies)

if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(os.path.abspath(sys.argv[1]), sys.argv[2])
