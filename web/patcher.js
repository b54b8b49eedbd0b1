// A patcher page: the patches inside it, checked whole when it opens, applied
// in order to the file the player chooses, in a player's words.
const applyArea = workArea("apply");
const DAMAGED = "This patcher page is damaged. Download it again.";
let data = null, loaded = false;

// The page's patches from its data. The worker and the data are checked
// against the CRC-32 the page was made with, each patch against its own;
// throws on anything missing or damaged.
function readData() {
    const text = $("patcher-data").textContent, whole = $("worker-source").textContent + text;
    if (crc32(new TextEncoder().encode(whole)) !== Number($("patcher-check").textContent))
        throw DAMAGED;
    const read = JSON.parse(text);
    if (typeof read.title !== "string" || typeof read.note !== "string" || !Number.isInteger(read.codePage)
        || !Array.isArray(read.patches) || !read.patches.length)
        throw DAMAGED;
    read.patches = read.patches.map((patch) => {
        const bytes = Uint8Array.from(atob(patch.bytes), (c) => c.charCodeAt(0));
        if (typeof patch.name !== "string" || typeof patch.optional !== "boolean" || crc32(bytes) !== patch.crc
            || !(patch.length === undefined || Number.isSafeInteger(patch.length)))
            throw DAMAGED;
        return { name: patch.name, optional: patch.optional, length: patch.length, bytes };
    });
    return read;
}

// The same words for every kind of damage, and nothing to apply.
function damaged() {
    $("checking").hidden = true;
    $("damaged").classList.add("now");
    $("damaged").hidden = false;
    $("patches-section").hidden = $("apply-section").hidden = true;
    $("target").disabled = $("choose-target").disabled = $("apply").disabled = true;
}

// None until the page has checked them: a file dropped sooner waits for that.
const chosen = () => (loaded ? data.patches.filter((_, i) => $(`use-${i + 1}`).checked) : []);
const request = () => ({ patches: chosen().map(({ name, bytes }) => ({ name, bytes })), target: targetFile(),
                         codePage: data.codePage, undoFor: undoFor() });
const undoFor = () => (safeName(data.title) || "patcher") + ".ov";
const plural = (count, one, many) => `${count} ${count === 1 ? one : many}`;

// One line for what will happen, and one name warning for all the patches.
sayVerdict = (answer) => {
    if (answer.problem)
        return showVerdict(answer.problem);
    const name = shownName(targetFile().name), size = targetFile().size;
    let line = answer.reason;
    if (answer.states.includes(answer.pastEnd))
        line = `${name} is shorter than this patch expects (${plural(size, "byte", "bytes")}; it needs at least ${answer.needs}).`;
    else if (answer.canApply)
        line = `${plural(answer.states.length, "patch", "patches")} will change ${plural(answer.willChange, "byte", "bytes")} of ${name}.`;
    showVerdict([line, ...answer.warnings.slice(0, 1)].join("\n"));
};

async function refreshVerdict(from) {
    clearResult();
    judgement = null;
    $("apply").disabled = true;
    const file = targetFile();
    if (!file || !chosen().length) {
        showVerdict("");
        return;
    }
    // The format carries no length: the page keeps the one each patch was made for.
    const made = chosen().find((patch) => patch.length !== undefined && patch.length !== file.size);
    if (made) {
        showVerdict(`${shownName(file.name)} is not the file this patch was made for (it has `
                    + `${plural(file.size, "byte", "bytes")}; the patch was made for one of ${made.length}).`);
        return;
    }
    await judgeInto(applyArea, request(), from);
}

async function load() {
    try {
        data = readData();
    } catch {
        return damaged();
    }
    // The script runs: it says what it finds, however long the check takes.
    $("damaged").hidden = true;
    $("checking").classList.add("now");
    const answer = await ask(applyArea, { kind: "judge", patches: data.patches, target: null, codePage: data.codePage },
                             null);
    if (answer.problem || answer.refused)
        return damaged();
    document.title = data.title || "Patcher";
    $("title").textContent = data.title || "Patcher";
    $("note").textContent = lines(data.note);
    $("patches").replaceChildren(...data.patches.map((patch, i) => {
        const item = document.createElement("li"), box = document.createElement("input");
        const label = document.createElement("label");
        box.type = "checkbox";
        box.id = `use-${i + 1}`;
        box.checked = box.disabled = !patch.optional;
        box.addEventListener("change", () => refreshVerdict(box));
        label.htmlFor = box.id;
        label.textContent = `${patch.name}${patch.optional ? " (optional)" : ""}`;
        item.append(box, " ", label);
        return item;
    }));
    $("details").replaceChildren(...data.patches.map((patch, i) => {
        const about = document.createElement("p");
        about.textContent = `${patch.name}\n${lines(answer.each[i])}`;
        return about;
    }));
    showVerdict("");
    $("checking").hidden = true;
    $("patches-section").hidden = $("apply-section").hidden = false;
    $("target").disabled = $("choose-target").disabled = false;
    loaded = true;
    if (targetFile())
        refreshVerdict(null);
}

onTarget = refreshVerdict;
$("apply").addEventListener("click", () => {
    if (!applyArea.jobs.length)
        applyPatches(applyArea, request(), undoFor(), chosen().map((patch) => patch.name).join(", "));
});
// A worker that cannot start is damage too.
applyArea.broken = damaged;
load();
