"""conftest.py - what the Python module's tests share: the score and region
files, the command line to compare with, and a local HTTP server with
range requests.

The module is imported from PYTHONPATH (the build tree's python folder);
BINSCOPE_EXE names the command-line program and BINSCOPE_TEST_BIGWIGS the
program that writes the score files (both set by CTest).
"""
import gzip
import http.server
import os
import subprocess
import threading
from pathlib import Path

import numpy as np
import pytest

SOURCE_DIR = Path(os.environ.get("BINSCOPE_SOURCE_DIR", Path(__file__).resolve().parents[2]))

GENES_BED = """\
chr1\t2000\t6000\tgeneA\t0\t+
chr1\t8000\t9500\tgeneB\t0\t-
chr1\t12000\t20000\tgeneC\t0\t+
chr1\t23000\t26000\tgeneD\t0\t-
chr1\t30000\t31200\tgeneE\t0\t+
chr1\t36000\t44000\tgeneF\t0\t-
chr1\t58000\t59900\tnearEnd\t0\t+
chr2\t100\t5000\tgeneI\t0\t+
chr2\t9000\t15000\tgeneJ\t0\t-
chr2\t33000\t39500\tgeneL\t0\t.
chr3\t100\t900\tnoSuchChrom\t0\t+
"""

# Two groups opened by '#' lines, one of them left empty.
GROUPED_BED = """\
#up
chr1\t1000\t3000\tu1\t5\t+
chr2\t2000\t9000\tu2\t5\t-
#empty
#down
chr1\t40000\t41000\td1\t1\t-
chr2\t30000\t30500\td2\t1\t+
"""

# BED12: multi-block transcripts.
EXONS_BED = """\
chr1\t1000\t9000\ttx1\t0\t+\t1000\t9000\t0\t3\t500,1000,700,\t0,3000,7300,
chr2\t5000\t20000\ttx2\t0\t-\t5000\t20000\t0\t2\t2000,3000,\t0,12000,
chr1\t20000\t20600\ttx3\t0\t+\t20000\t20600\t0\t1\t600,\t0,
"""

GENES_GTF = """\
chr1\tsrc\texon\t2001\t2500\t.\t+\t.\tgene_id "g1"; transcript_id "t1";
chr1\tsrc\texon\t4001\t5000\t.\t+\t.\tgene_id "g1"; transcript_id "t1";
chr2\tsrc\texon\t10001\t11000\t.\t-\t.\tgene_id "g2"; transcript_id "t2";
chr2\tsrc\texon\t14001\t14300\t.\t-\t.\tgene_id "g2"; transcript_id "t2";
chr1\tsrc\texon\t30001\t31000\t.\t-\t.\tgene_id "g3"; transcript_id "t3";
"""

BLACKLIST_BED = "chr1\t8500\t8600\nchr2\t9500\t9600\n"


@pytest.fixture(scope="session")
def data(tmp_path_factory):
    """The test files: a.bw, b.bw, big.bw and the region files above."""
    folder = tmp_path_factory.mktemp("data")
    subprocess.run([os.environ["BINSCOPE_TEST_BIGWIGS"], str(folder)], check=True)
    for name, text in [("genes.bed", GENES_BED), ("grouped.bed", GROUPED_BED), ("exons.bed", EXONS_BED),
                       ("genes.gtf", GENES_GTF), ("blacklist.bed", BLACKLIST_BED)]:
        (folder / name).write_text(text)
    return folder


def run_cli(*args):
    """Runs the command line; returns (exit status, standard error)."""
    done = subprocess.run([os.environ["BINSCOPE_EXE"], *map(str, args)], capture_output=True, text=True)
    return done.returncode, done.stderr


def gz_text(path):
    with gzip.open(path, "rt") as f:
        return f.read()


def file_rows(path):
    """The region columns and the values of a gzipped matrix file."""
    lines = gz_text(path).splitlines()[1:]
    fields = [line.split("\t") for line in lines]
    values = np.array([[np.float32(v) for v in f[6:]] for f in fields], dtype=np.float32)
    return fields, values


def same_bits(a, b):
    """Bit-for-bit equality of two float32 arrays (NaN equals NaN)."""
    a = np.ascontiguousarray(a, dtype=np.float32)
    b = np.ascontiguousarray(b, dtype=np.float32)
    return a.shape == b.shape and np.array_equal(a.view(np.uint32), b.view(np.uint32))


class _RangeHandler(http.server.SimpleHTTPRequestHandler):
    """Serves files with single byte ranges, as score-file readers ask."""
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = Path(self.translate_path(self.path))
        if not path.is_file():
            self.send_error(404)
            return
        body = path.read_bytes()
        size = len(body)
        header = self.headers.get("Range")
        if header and header.startswith("bytes="):
            first, _, last = header[6:].partition("-")
            start = int(first)
            end = min(int(last), size - 1) if last else size - 1
            self.send_response(206)
            self.send_header("Content-Range", f"bytes {start}-{end}/{size}")
            body = body[start:end + 1]
        else:
            self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


@pytest.fixture(scope="session")
def http_url(data):
    """The address of the data folder on a server of 127.0.0.1."""
    handler = lambda *a, **k: _RangeHandler(*a, directory=str(data), **k)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    yield f"http://127.0.0.1:{server.server_address[1]}"
    server.shutdown()
    server.server_close()
