#!/usr/bin/python3
# Puts the page in one file: the stylesheet, the worker (the engine's script,
# worker.js, worker_read.js and worker_apply.js), the scripts and the patcher page's template
# inline, each page's policy allowing exactly its own. The template keeps
# @WORKER@, @DATA@ and @CHECK@ for the page to fill when it makes a patcher page.
# Usage: assemble.py ENGINE_JS WEB_DIR OUT
import base64, hashlib, html, os, re, sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "engine", "format"))
from make_code_pages import PAGES  # noqa: E402  the engine's one list of code pages

engine, web, out = sys.argv[1:4]
read = lambda path: open(path, encoding="utf-8").read()
style, shared = read(web + "/style.css"), read(web + "/page.js") + read(web + "/handle.js")
worker = "\n".join(read(path) for path in (engine, *(web + "/worker%s.js" % part for part in ("", "_read", "_apply"))))
if "</script" in worker:
    sys.exit("assemble.py: the worker's text would end its script element")
digest = lambda text: "'sha256-%s'" % base64.b64encode(hashlib.sha256(text.encode()).digest()).decode()


def fill(page, app, **more):
    policy = ("default-src 'none'; script-src %s 'wasm-unsafe-eval'; worker-src blob:; style-src %s; "
              "connect-src 'none'; img-src 'none'; form-action 'none'; base-uri 'none'" % (digest(app), digest(style)))
    values = dict(POLICY=policy, STYLE=style, APP=app, **more)
    # One pass, so that nothing put in is read for keys again.
    return re.sub("@(%s)@" % "|".join(values), lambda key: values[key.group(1)], read(web + "/" + page))


patcher = fill("patcher.html", shared + read(web + "/patcher.js"), WORKER="@WORKER@", DATA="@DATA@", CHECK="@CHECK@")
# The code pages offered, from the engine's list, 1252 first chosen.
options = "".join('<option value="%d"%s>%s</option>' % (number, " selected" * (number == 1252), html.escape(name))
                  for number, _, name in PAGES)
page = fill("index.html", shared + read(web + "/app.js"), WORKER=worker, OPTIONS=options,
            PATCHER=base64.b64encode(patcher.encode()).decode())
open(out, "w", encoding="utf-8").write(page)
