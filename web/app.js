// The page: Make, Apply and the patcher page maker over the shared parts.
const makeArea = workArea("make"), applyArea = workArea("apply"), patcherArea = workArea("patcher");
const codePage = (id) => Number($(id).value);
const stem = (name) => (name.lastIndexOf(".") > 0 ? name.slice(0, name.lastIndexOf(".")) : name);

for (const id of ["apply-code-page", "patcher-code-page"])
    $(id).append(...[...$("code-page").options].map((option) => option.cloneNode(true)));

// Make's name field keeps what the user typed; the original only suggests one.
let typedName = false;
$("patch-name").addEventListener("input", () => (typedName = $("patch-name").value !== ""));
$("original").addEventListener("change", () => {
    const file = $("original").files[0];
    if (file && !typedName)
        $("patch-name").value = stem(file.name) + ".ov";
});

// Two files dropped on either of Make's fields fill both, original first.
for (const id of ["original", "modified"])
    $(id).addEventListener("drop", (event) => {
        const files = event.dataTransfer.files;
        if (files.length !== 2)
            return;
        event.preventDefault();
        [...files].forEach((file, i) => {
            const transfer = new DataTransfer();
            transfer.items.add(file);
            $(["original", "modified"][i]).files = transfer.files;
            $(["original", "modified"][i]).dispatchEvent(new Event("change"));
        });
    });

// The patch's download name: as typed, ".ov" added only where there is no
// extension. A program's extension is refused: the browser would save one.
function patchName(original) {
    let name = $("patch-name").value.trim();
    if (!name)
        name = original ? stem(original.name) + ".ov" : "patch.ov";
    else if (name.lastIndexOf(".") < 0)
        name += ".ov";
    else if (name.lastIndexOf(".") === 0)
        name = (original ? stem(original.name) : "patch") + name;
    if (/\.(exe|com|bat|cmd)$/i.test(name))
        return { refusal: `${name}: a patch is not saved under a program's extension (.exe, .com, .bat or .cmd); name it ${stem(name)}.ov.` };
    return { name };
}

// What the patch stores as '?' for characters its code page lacks (the
// engine's bits: 1 the target name, 2 the comment), said once.
function lostWarning(lost) {
    const what = ["", "the target name holds", "the comment holds", "the target name and the comment hold"][lost & 3];
    return what ? `Warning: ${what} characters code page ${codePage("code-page")} cannot store; they are written as '?'.`
        : "";
}

$("make").addEventListener("click", async () => {
    if (makeArea.jobs.length)
        return;
    const original = $("original").files[0], modified = $("modified").files[0];
    const { name, refusal } = patchName(original);
    $("make-result").textContent = refusal || "";
    if (refusal)
        return;
    $("make").setAttribute("aria-disabled", "true");
    const answer = await ask(makeArea, { kind: "make", original, modified, comment: $("comment").value,
                                         codePage: codePage("code-page") }, $("make"));
    $("make").removeAttribute("aria-disabled");
    if (answer.same)
        $("make-result").textContent = "The two files are the same: this patch changes nothing.";
    else if (answer.patch)
        $("make-result").textContent = [answer.text, download(answer.patch, name, "The patch"), lostWarning(answer.lost)]
            .filter(Boolean).join("\n");
    else
        $("make-result").textContent = answer.problem || CANCELLED_LINE;
});

const chosenPatch = () => $("patch").files[0];
const applyRequest = () => ({ patches: chosenPatch() ? [{ name: chosenPatch().name, file: chosenPatch() }] : [],
                              target: targetFile(), codePage: codePage("apply-code-page"),
                              undoFor: chosenPatch() ? chosenPatch().name : "" });

// Anything chosen clears the last result and judges again.
async function refreshVerdict(from) {
    clearResult();
    $("apply").disabled = true;
    if (!chosenPatch()) {
        showVerdict("");
        return;
    }
    await judgeInto(applyArea, applyRequest(), from);
}

onTarget = refreshVerdict;
for (const id of ["patch", "apply-code-page"])
    $(id).addEventListener("change", () => refreshVerdict($(id)));

$("apply").addEventListener("click", () => {
    if (!applyArea.jobs.length && chosenPatch())
        applyPatches(applyArea, applyRequest(), chosenPatch().name, chosenPatch().name);
});

// The patcher page maker: the chosen patches, each with its check box for
// optional, validated here before they are put in a page.
$("patcher-patches").addEventListener("change", () => {
    $("patcher-list").replaceChildren(...[...$("patcher-patches").files].map((file, i) => {
        const item = document.createElement("li"), box = document.createElement("input");
        const label = document.createElement("label");
        box.type = "checkbox";
        box.id = `patcher-optional-${i + 1}`;
        label.htmlFor = box.id;
        label.textContent = `${file.name}: optional`;
        item.append(box, " ", label);
        return item;
    }));
});

const toBase64 = (bytes) => {
    let binary = "";
    for (let i = 0; i < bytes.length; i += 0x8000)
        binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(binary);
};

$("patcher-make").addEventListener("click", async () => {
    const files = [...$("patcher-patches").files], title = $("patcher-title").value.trim();
    const original = $("patcher-original").files[0];
    $("patcher-result").textContent = "";
    if (!files.length || !original || patcherArea.jobs.length) {
        $("patcher-result").textContent = !files.length ? "Choose the patches first."
            : !original ? "Choose the file they are for first." : "";
        return;
    }
    const patches = files.map((file) => ({ name: file.name, file }));
    const answer = await ask(patcherArea, { kind: "judge", patches, target: null, codePage: codePage("patcher-code-page") },
                             $("patcher-make"));
    if (answer.cancelled || answer.problem || answer.refused) {
        const name = answer.refused ? files[answer.refused - 1].name : "", refusal = lines(answer.lines || "");
        $("patcher-result").textContent = answer.problem || (refusal.startsWith(name) ? refusal : `${name}: ${refusal}`);
        return;
    }
    const data = { title, note: $("patcher-note").value, codePage: codePage("patcher-code-page"), patches: [] };
    for (const [i, file] of files.entries()) {
        const bytes = new Uint8Array(await file.arrayBuffer());
        data.patches.push({ name: file.name, optional: $(`patcher-optional-${i + 1}`).checked, crc: crc32(bytes),
                            length: original.size, bytes: toBase64(bytes) });
    }
    const template = new TextDecoder().decode(Uint8Array.from(atob($("patcher-template").textContent.trim()), (c) => c.charCodeAt(0)));
    const fill = { WORKER: $("worker-source").textContent, DATA: JSON.stringify(data).replaceAll("<", "\\u003c") };
    // The page checks its worker and data against this when it opens.
    fill.CHECK = String(crc32(new TextEncoder().encode(fill.WORKER + fill.DATA)));
    const page = template.replace(/@(WORKER|DATA|CHECK)@/g, (_, key) => fill[key]);
    const name = (safeName(title) ? safeName(title) + "-" : "") + "patcher.html";
    $("patcher-result").textContent = download(new Blob([page], { type: "text/html" }), name, "The patcher page");
});
