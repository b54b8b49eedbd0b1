#!/usr/bin/python3
# Puts the page in one file: the stylesheet, the worker (the engine's script
# and worker.js) and app.js inline, the policy allowing exactly those.
# Usage: assemble.py ENGINE_JS WEB_DIR OUT
import base64, hashlib, sys

engine, web, out = sys.argv[1:4]
read = lambda path: open(path, encoding="utf-8").read()
style, app = read(web + "/style.css"), read(web + "/app.js")
worker = read(engine) + "\n" + read(web + "/worker.js")
if "</script" in worker:
    sys.exit("assemble.py: the worker's text would end its script element")
digest = lambda text: "'sha256-%s'" % base64.b64encode(hashlib.sha256(text.encode()).digest()).decode()
policy = ("default-src 'none'; script-src %s 'wasm-unsafe-eval'; worker-src blob:; style-src %s; "
          "connect-src 'none'; img-src 'none'; form-action 'none'; base-uri 'none'" % (digest(app), digest(style)))
page = read(web + "/index.html")
for key, value in (("@POLICY@", policy), ("@STYLE@", style), ("@APP@", app), ("@WORKER@", worker)):
    page = page.replace(key, value, 1)
open(out, "w", encoding="utf-8").write(page)
