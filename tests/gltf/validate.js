// Validates glTF files with the Khronos glTF-Validator: node validate.js VALIDATOR FILE...
// Prints each file's counts and any error or warning; exits 1 when any file has one.
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
    console.log(`${path.basename(file)}: ${issues.numErrors} errors, ${issues.numWarnings} warnings`);
    for (const message of issues.messages)
      if (message.severity <= 1) console.log(`  ${message.code}: ${message.message} ${message.pointer || ''}`);
    if (issues.numErrors > 0 || issues.numWarnings > 0) failed++;
  }
  process.exit(failed > 0 ? 1 : 0);
})();
