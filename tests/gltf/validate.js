// Validates glTF files with the Khronos glTF-Validator: node validate.js VALIDATOR FILE...
// Prints each file's counts and any error or warning; exits 1 when any file has one. The
// validator does not know EXT_mesh_gpu_instancing: in a file that uses it, it tells of the
// extension as unsupported and of the placements' accessors as unused, and those infos
// are the only ones such a file may have (besides the unused UVs of an untextured
// material, as every file written has them).
const validator = require(process.argv[2]);
const fs = require('fs');
const path = require('path');

(async () => {
  let failed = 0;
  for (const file of process.argv.slice(3)) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
      uri: file,
      externalResourceFunction: (uri) => new Promise((resolve, reject) => {
        try {
          resolve(new Uint8Array(fs.readFileSync(path.resolve(path.dirname(file), decodeURIComponent(uri)))));
        } catch (error) {
          reject(error.toString());
        }
      }),
    });
    const issues = report.issues;
    const instanced = (report.info.extensionsUsed || []).includes('EXT_mesh_gpu_instancing');
    const allowed = (message) => message.severity > 1 && (!instanced ||
      (message.code === 'UNSUPPORTED_EXTENSION' && message.message.includes('EXT_mesh_gpu_instancing')) ||
      (message.code === 'UNUSED_OBJECT' && /^\/accessors\/\d+$|\/TEXCOORD_0$/.test(message.pointer)));
    const refused = issues.messages.filter((message) => !allowed(message));
    console.log(`${path.basename(file)}: ${issues.numErrors} errors, ${issues.numWarnings} warnings` +
      (instanced ? `, ${refused.length} messages besides the instancing's` : ''));
    for (const message of refused) console.log(`  ${message.code}: ${message.message} ${message.pointer || ''}`);
    if (refused.length > 0) failed++;
  }
  process.exit(failed > 0 ? 1 : 0);
})();
